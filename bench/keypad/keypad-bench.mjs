// The keypad page on the simulated camera, in chromium at phone size:
//  1. its weight: the bytes of the one page request, and every request and socket it opens;
//  2. PRESSES touches of the menu key, each timed from the page's pointerdown to the reply for that
//     press, in blocks of 50 alternating between the page's own path (the WebSocket) and the same
//     press as an HTTP request from the same page (a fetch started in pointerdown): p50 and p99.
// Usage: node keypad-bench.mjs (VELMORACTL, VELMORA_NODE_MODULES, PRESSES and INPUT from the environment)
import { codes, launch, openKeypad, keyCentre, phone, startServe, waitFor } from '../../tests/browser/harness.mjs';

const presses = Number(process.env.PRESSES ?? 1000);
const serve = await startServe({ options: ['--quiet'] });
const browser = await launch();
try {
  // 1. Weight.
  const page = await browser.newPage();
  await page.setViewport(phone);
  const requests = [];
  const cdp = await page.createCDPSession();
  await cdp.send('Network.enable');
  cdp.on('Network.requestWillBeSent', (r) => requests.push(`${r.request.method} ${new URL(r.request.url).pathname}`));
  cdp.on('Network.webSocketCreated', (s) => requests.push(`socket ${new URL(s.url).pathname}`));
  let bytes = 0;
  cdp.on('Network.loadingFinished', (r) => { bytes += r.encodedDataLength; });
  await page.goto(serve.url);
  await page.waitForSelector('body[data-state="connected"]');
  const body = (await (await fetch(serve.url)).text()).length;
  console.log(`page weight: ${Buffer.byteLength(await (await fetch(serve.url)).text())} bytes of HTML (${body} characters), ` +
    `${bytes} bytes on the wire with headers; requests: ${requests.join(', ')}`);

  // 2. Latency. In HTTP mode a listener ahead of the page's own takes the press and fetches it.
  await page.evaluate(() => {
    window.benchHttp = false;
    window.benchHttpTimes = [];
    document.addEventListener('pointerdown', (event) => {
      if (!window.benchHttp) return;
      event.stopPropagation();
      const start = performance.now();
      fetch('/v1/keys/menu/click', { method: 'POST', headers: { 'Content-Type': 'application/json' }, body: '{}' })
        .then((answer) => answer.text())
        .then(() => window.benchHttpTimes.push(performance.now() - start));
    }, { capture: true });
  });
  const { x, y } = await keyCentre(page, 'menu');
  // A finger (INPUT=touch, the default) or a mouse button (INPUT=mouse) down and up on the key.
  const mouse = process.env.INPUT === 'mouse';
  const touch = async () => {
    if (mouse) {
      for (const type of ['mousePressed', 'mouseReleased'])
        await cdp.send('Input.dispatchMouseEvent', { type, x, y, button: 'left', clickCount: 1 });
      return;
    }
    await cdp.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [{ x, y, id: 1 }] });
    await cdp.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
  };
  const count = () => page.evaluate(() => [performance.getEntriesByName('velmora click').length, window.benchHttpTimes.length]);
  const before = serve.writes().filter((w) => w === codes.menu).length;
  for (let done = 0; done < presses; done += 50) {
    for (const http of [false, true]) {
      await page.evaluate((mode) => { window.benchHttp = mode; }, http);
      const [ws0, http0] = await count();
      for (let i = 0; i < 25; i++) {
        await touch();
        await waitFor('the reply', async () => {
          const [ws, h] = await count();
          return http ? h > http0 + i : ws > ws0 + i;
        });
      }
    }
  }
  const [wsTimes, httpTimes] = await page.evaluate(() => [
    performance.getEntriesByName('velmora click').map((m) => m.duration), window.benchHttpTimes]);
  const sent = serve.writes().filter((w) => w === codes.menu).length - before;
  const stats = (list) => {
    const sorted = [...list].sort((a, b) => a - b);
    const at = (q) => sorted[Math.min(sorted.length - 1, Math.floor(q * sorted.length))].toFixed(2);
    return `n ${sorted.length}, p50 ${at(0.5)} ms, p99 ${at(0.99)} ms, max ${sorted.at(-1).toFixed(2)} ms`;
  };
  console.log(`pointerdown to reply, WebSocket: ${stats(wsTimes)}`);
  console.log(`pointerdown to reply, HTTP:      ${stats(httpTimes)}`);
  console.log(`MENU packets on the trace: ${sent} (of ${wsTimes.length + httpTimes.length} presses)`);
} finally {
  await browser.close();
  await serve.stop();
}
