// Opens the keypad page at URL in chromium, waits until it is connected and clicks KEY on it:
// how the Windows checks drive velmoractl.exe serve from the Linux side.
//   node click-key.mjs URL KEY
import { launch, openKeypad, dock } from './harness.mjs';

const [url, key] = process.argv.slice(2);
const browser = await launch();
try {
  const page = await openKeypad(browser, url, dock);
  await page.click(`.key[data-key="${key}"]`);
  await page.waitForFunction(() => performance.getEntriesByType('measure').length > 0, { timeout: 20000 });
  console.log(`clicked ${key}`);
} finally {
  await browser.close();
}
