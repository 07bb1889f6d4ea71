// What the browser tests share: the real velmoractl serve on the simulated camera, its trace of
// register writes, and Debian's chromium through puppeteer-core.
import { spawn } from 'node:child_process';
import { mkdtempSync, readFileSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { setTimeout as sleep } from 'node:timers/promises';

// puppeteer-core is installed outside the checkout (VELMORA_NODE_MODULES, by the stage).
const require = createRequire(join(process.env.VELMORA_NODE_MODULES ?? join(import.meta.dirname, 'node_modules'), 'x.js'));
const puppeteer = require('puppeteer-core');

export const velmoractl = process.env.VELMORACTL ?? 'velmoractl';
export const chromium = process.env.VELMORA_CHROMIUM ?? '/usr/lib/chromium/chromium';

// The key codes the camera hears: a key's press, and the release of any key.
export const codes = { 'zoom-in': '03', menu: '05', release: '16' };

export async function waitFor(what, check, ms = 5000) {
  const end = Date.now() + ms;
  for (;;) {
    const value = await check();
    if (value) return value;
    if (Date.now() > end) throw new Error(`timed out waiting for ${what}`);
    await sleep(20);
  }
}

// velmoractl serve on 127.0.0.1 (port 0: a free one), extra options after serve's own.
export function tempFolder() {
  return mkdtempSync(join(tmpdir(), 'velmora-browser-'));
}

export async function startServe({ port = 0, options = [], folder = tempFolder() } = {}) {
  const trace = join(folder, 'trace');
  const env = { ...process.env, VELMORA_SIM_TRACE: trace };
  delete env.VELMORA_SIM_CONFIG;
  delete env.VELMORA_SIM_HOTPLUG_DIR;
  const child = spawn(velmoractl, ['--backend', 'sim', 'serve', '--http', `127.0.0.1:${port}`, ...options], {
    env,
    stdio: ['ignore', 'ignore', 'pipe'],
  });
  let log = '';
  child.stderr.on('data', (data) => { log += data; });
  const exited = new Promise((resolve) => child.on('exit', resolve));
  const bound = await waitFor('serve to listen', () => /http:\/\/127\.0\.0\.1:(\d+)\/v1\//.exec(log), 10000);
  const serve = {
    folder,
    port: Number(bound[1]),
    url: `http://127.0.0.1:${bound[1]}/`,
    log: () => log,
    // The data bytes of each register write, oldest first ('03', '16', ...).
    writes() {
      let text = '';
      try {
        text = readFileSync(trace, 'utf8');
      } catch {
        return [];
      }
      return [...text.matchAll(/^SET .* data=(?:\S+ ){10}(\S+)/gm)].map((m) => m[1]);
    },
    async stop() {
      child.kill('SIGTERM');
      return exited;
    },
  };
  return serve;
}

export function writeToken(folder, token) {
  const file = join(folder, 'token');
  writeFileSync(file, token + '\n', { mode: 0o600 });
  return file;
}

export async function launch() {
  return puppeteer.launch({
    executablePath: chromium,
    headless: true,
    userDataDir: mkdtempSync(join(tmpdir(), 'velmora-chromium-')),
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
      '--disable-sync', '--no-first-run'],
  });
}

export const phone = { width: 390, height: 844, deviceScaleFactor: 2, isMobile: true, hasTouch: true };
export const dock = { width: 300, height: 400, deviceScaleFactor: 1 };

// A page of the keypad, connected.
export async function openKeypad(browser, url, viewport = phone) {
  const page = await browser.newPage();
  await page.setViewport(viewport);
  await page.goto(url);
  await page.waitForSelector('body[data-state="connected"]', { timeout: 10000 });
  return page;
}

export async function keyCentre(page, key) {
  const box = await (await page.$(`.key[data-key="${key}"]`)).boundingBox();
  return { x: box.x + box.width / 2, y: box.y + box.height / 2 };
}

// A finger down on the key, through the browser's own touch input.
export async function touchStart(page, key) {
  const { x, y } = await keyCentre(page, key);
  const cdp = await page.createCDPSession();
  await cdp.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [{ x, y, id: 1 }] });
  return {
    cdp,
    end: () => cdp.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] }),
    cancel: () => cdp.send('Input.dispatchTouchEvent', { type: 'touchCancel', touchPoints: [] }),
  };
}
