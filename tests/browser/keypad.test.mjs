// The keypad page in a real browser against the real serve: every way a touch hold can end puts
// its release on the camera's trace, once; the page reconnects by itself, refuses to be driven
// from another origin, and takes its token from the address's fragment; a macro button runs its
// macro and cancels it.
import assert from 'node:assert/strict';
import { writeFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import { setTimeout as sleep } from 'node:timers/promises';

import { codes, dock, launch, openKeypad, startServe, tempFolder, touchStart, waitFor, writeToken } from './harness.mjs';

const pressRelease = [codes['zoom-in'], codes.release];
const screenshots = process.env.VELMORA_SCREENSHOTS;

let browser;
before(async () => { browser = await launch(); });
after(async () => { await browser?.close(); });

describe('a touch hold on zoom-in', () => {
  let serve;
  before(async () => { serve = await startServe(); });
  after(async () => { await serve.stop(); });

  // Each case starts from an empty trace of its own, by counting from where it is.
  async function hold(page, end) {
    const before = serve.writes().length;
    const touch = await touchStart(page, 'zoom-in');
    await waitFor('the press', () => serve.writes().length > before);
    await page.waitForSelector('.key[data-key="zoom-in"][data-held="mine"]');
    await sleep(400); // renewals go out meanwhile, and send nothing
    await end(touch);
    await waitFor('the release', () => serve.writes().length >= before + 2);
    await sleep(300); // nothing more may follow
    return serve.writes().slice(before);
  }

  test('puts exactly its press, then its release, on the trace', async () => {
    const page = await openKeypad(browser, serve.url);
    let shot;
    const writes = await hold(page, async (touch) => {
      if (screenshots) shot = page.screenshot({ path: `${screenshots}/keypad-phone.png` });
      await shot;
      await touch.end();
    });
    assert.deepEqual(writes, pressRelease);
    await page.close();
  });

  test('is released by pointercancel, a hidden page and a closed page', async () => {
    const page = await openKeypad(browser, serve.url);
    assert.deepEqual(await hold(page, (touch) => touch.cancel()), pressRelease, 'pointercancel');

    const other = await browser.newPage();
    await page.bringToFront();
    const hidden = await hold(page, async () => {
      await other.bringToFront();
      await waitFor('the page to be hidden', () => page.evaluate(() => document.visibilityState === 'hidden'));
    });
    assert.deepEqual(hidden, pressRelease, 'hidden');
    await other.close();

    await page.bringToFront();
    assert.deepEqual(await hold(page, () => page.close()), pressRelease, 'closed');
  });

  // Frozen as a sleeping phone's tab is: its script stops (the debugger holds it), its socket stays.
  test('is released by its lease when the page freezes mid-hold', async () => {
    const page = await openKeypad(browser, serve.url);
    const writes = await hold(page, async (touch) => {
      await touch.cdp.send('Debugger.enable');
      await touch.cdp.send('Debugger.pause');
      await touch.cdp.send('Page.setWebLifecycleState', { state: 'frozen' }).catch(() => {});
      const frozen = Date.now();
      const count = serve.writes().length;
      await waitFor('the lease to run out', () => serve.writes().length > count, 3000);
      const released = Date.now() - frozen;
      assert.ok(released < 1500, `released ${released} ms after the page froze`);
    });
    assert.deepEqual(writes, pressRelease);
    await page.close();
  });
});

test('the page reconnects by itself when serve is stopped and started again', async () => {
  const first = await startServe();
  const page = await openKeypad(browser, first.url, dock);
  if (screenshots) {
    await page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: 'dark' }]);
    await page.screenshot({ path: `${screenshots}/keypad-dock.png` });
  }
  await first.stop();
  await page.waitForSelector('body[data-state="offline"]');
  assert.equal(await page.$eval('.key', (key) => getComputedStyle(key).opacity), '0.45');
  const second = await startServe({ port: first.port, folder: first.folder });
  try {
    await page.waitForSelector('body[data-state="connected"]', { timeout: 10000 });
    await page.click('.key[data-key="menu"]');
    await waitFor('the menu key', () => second.writes().includes(codes.menu));
  } finally {
    await page.close();
    await second.stop();
  }
});

test('a page from another local port cannot open the socket', async () => {
  const serve = await startServe();
  const elsewhere = createServer((request, response) => response.end('<!doctype html><title>elsewhere</title>'));
  await new Promise((resolve) => elsewhere.listen(0, '127.0.0.1', resolve));
  const page = await browser.newPage();
  try {
    await page.goto(`http://127.0.0.1:${elsewhere.address().port}/`);
    const outcome = await page.evaluate((url) => new Promise((resolve) => {
      const socket = new WebSocket(url);
      socket.onopen = () => resolve('open');
      socket.onclose = () => resolve('closed');
    }), `ws://127.0.0.1:${serve.port}/v1/events`);
    assert.equal(outcome, 'closed');
    assert.match(serve.log(), /GET \/v1\/events 403 .*\(Origin http:\/\/127\.0\.0\.1:\d+ is not serve's own\)/);
  } finally {
    await page.close();
    elsewhere.close();
    await serve.stop();
  }
});

test('with --token-file the fragment URL connects and leaves the address bar', async () => {
  // As the README's recipe makes them: base64, with + / and = in it.
  const token = 'q+8/Zx0r1W==';
  const folder = tempFolder();
  const guarded = await startServe({ folder, options: ['--token-file', writeToken(folder, token)] });
  try {
    const page = await openKeypad(browser, `${guarded.url}#token=${encodeURIComponent(token)}`);
    assert.equal(page.url(), guarded.url);
    await page.click('.key[data-key="menu"]');
    await waitFor('the menu key', () => guarded.writes().includes(codes.menu));
    assert.ok(!guarded.log().includes(token), 'the log never shows the token');
    await page.close();
  } finally {
    await guarded.stop();
  }
});

test('a macro button runs its macro, shows it running and cancels it when touched again', async () => {
  const folder = tempFolder();
  writeFileSync(join(folder, 'macros'), '[hold]\npress zoom-in\nwait 5000\nrelease\n');
  const serve = await startServe({ folder, options: ['--macros', join(folder, 'macros')] });
  try {
    const page = await openKeypad(browser, serve.url);
    const before = serve.writes().length; // after the release at start
    await page.click('#macros button[data-macro="hold"]');
    await page.waitForSelector('#macros button[data-running="mine"]');
    await waitFor('the press', () => serve.writes().includes(codes['zoom-in']));
    await page.click('#macros button[data-macro="hold"]');
    await page.waitForSelector('#macros button:not([data-running])');
    await waitFor('the release', () => serve.writes().length >= before + 2);
    await sleep(300); // nothing more may follow
    assert.deepEqual(serve.writes().slice(before), pressRelease);
    await page.close();
  } finally {
    await serve.stop();
  }
});
