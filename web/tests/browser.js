// Headless Chromium as every page test starts it: Debian's build, a fresh
// profile of its own, and none of the background connections a closed
// network refuses.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

export function launchChromium() {
  return puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: [
      '--no-sandbox',
      '--disable-gpu',
      '--disable-quic',
      '--no-first-run',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
      `--user-data-dir=${fs.mkdtempSync(path.join(os.tmpdir(), 'timbrex-chromium-'))}`,
    ],
  });
}

// Clicks `selector` as a user does: brought into view first, and clicked
// once it stays where it is. Cards are drawn as they come near the view,
// which moves what lies below them for a frame or two; a click aimed at a
// moving target lands on whatever took its place.
export async function clickSettled(page, selector) {
  await page.$eval(selector, (e) => e.scrollIntoView({ block: 'center' }));
  await page.waitForFunction(
    (s) =>
      new Promise((resolve) => {
        const top = () => document.querySelector(s).getBoundingClientRect().top;
        const first = top();
        requestAnimationFrame(() => requestAnimationFrame(() => resolve(top() === first)));
      }),
    { timeout: 10000, polling: 50 },
    selector,
  );
  await page.click(selector);
}
