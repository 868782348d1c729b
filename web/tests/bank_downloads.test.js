// The page's bank downloads in headless Chromium: for a harvest of the real
// logs, "Download all" as WOPN, OPM and DMP, and one card's buttons, give
// exactly the files timbrex-bank writes for the command line's .vpf files
// in the same order.
//
// Environment: TIMBREX_SITE (the built site folder), TIMBREX_CLI and
// TIMBREX_BANK (the native programs). ../shared/real-logs is looked for from
// the repository; the comparison is skipped when it is absent, the demo's runs
// always.
import test from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { execFileSync } from 'node:child_process';
import { clickSettled, launchChromium } from './browser.js';
import * as fflate from 'fflate';

const repo = fileURLToPath(new URL('../..', import.meta.url));
const site = path.resolve(process.env.TIMBREX_SITE || path.join(repo, 'build-web', 'site'));
const cli = path.resolve(process.env.TIMBREX_CLI || path.join(repo, 'build', 'src', 'timbrex'));
const bank = path.resolve(process.env.TIMBREX_BANK || path.join(repo, 'build', 'src', 'timbrex-bank'));
const realLogs = path.join(repo, '..', 'shared', 'real-logs');
const demo = path.join(repo, 'examples', 'demo.vgz');

let browser;
let page;
const consoleErrors = [];

const tempDir = () => fs.mkdtempSync(path.join(os.tmpdir(), 'timbrex-bank-page-'));

// Every file under `dir`, by its path relative to it.
function filesUnder(dir, prefix = '') {
  const files = {};
  for (const entry of fs.readdirSync(path.join(dir, prefix), { withFileTypes: true })) {
    const name = path.posix.join(prefix, entry.name);
    if (entry.isDirectory()) Object.assign(files, filesUnder(dir, name));
    else files[name] = fs.readFileSync(path.join(dir, name));
  }
  return files;
}

// The command line's harvest of `args`, then timbrex-bank on its .vpf files
// in group order: the files of OUT for each format.
function cliBanks(args) {
  const patches = tempDir();
  execFileSync(cli, args, { cwd: patches });
  const group = (name) => Number(name.match(/_(\d+)\.vpf$/)[1]);
  const names = fs
    .readdirSync(patches)
    .filter((n) => n.endsWith('.vpf'))
    .sort((a, b) => group(a) - group(b));
  const banks = {};
  for (const format of ['wopn', 'opm', 'dmp']) {
    const out = tempDir();
    const target = format === 'dmp' ? 'timbrex-instruments' : `timbrex-instruments.${format}`;
    execFileSync(bank, [format, target, ...names.map((n) => path.join(patches, n))], { cwd: out });
    banks[format] = filesUnder(out);
    fs.rmSync(out, { recursive: true, force: true });
  }
  fs.rmSync(patches, { recursive: true, force: true });
  return { banks, names };
}

// What a download gives as files: a zip's entries, or the lone file by its name.
function downloadedFiles(download) {
  const bytes = Uint8Array.from(download.bytes);
  if (!download.name.endsWith('.zip')) return { [download.name]: Buffer.from(bytes) };
  const entries = fflate.unzipSync(bytes);
  const files = {};
  for (const name of Object.keys(entries)) files[name] = Buffer.from(entries[name]);
  return files;
}

function assertSameFiles(actual, expected) {
  assert.deepEqual(Object.keys(actual).sort(), Object.keys(expected).sort());
  for (const name of Object.keys(expected)) assert.ok(actual[name].equals(expected[name]), `${name} differs`);
}

async function harvest(selector, paths) {
  if (page) await page.close();
  page = await browser.newPage();
  page.on('console', (m) => {
    if (m.type() === 'error') consoleErrors.push(m.text());
  });
  page.on('pageerror', (e) => consoleErrors.push(String(e)));
  await page.goto(`file://${site}/index.html`);
  await (await page.$(selector)).uploadFile(...paths);
  await page.waitForFunction(() => window.timbrexPage.state.finished, { timeout: 600000, polling: 200 });
  // Downloads are caught where the page saves them.
  await page.evaluate(() => {
    window.caught = [];
    window.timbrexPage.saveBlob = (bytes, name, type) => window.caught.push({ bytes: Array.from(bytes), name, type });
  });
}

// "Download all" in `format`, as a user picks it and clicks.
async function downloadAll(format) {
  await page.select('#download-format', format);
  const before = await page.evaluate(() => window.caught.length);
  await clickSettled(page, '#download-all');
  await page.waitForFunction((n) => window.caught.length > n, { timeout: 60000, polling: 100 }, before);
  return page.evaluate(() => window.caught[window.caught.length - 1]);
}

test.before(async () => {
  browser = await launchChromium();
});

test.after(async () => {
  if (browser) await browser.close();
  assert.deepEqual(consoleErrors, []);
});

test("the demo's banks, from Download all and from a card, are timbrex-bank's", async () => {
  const expected = cliBanks([demo]);
  await harvest('#file-input', [demo]);
  assertSameFiles(downloadedFiles(await downloadAll('wopn')), {
    'timbrex-instruments.wopn': expected.banks.wopn['timbrex-instruments.wopn'],
  });
  assertSameFiles(downloadedFiles(await downloadAll('opm')), expected.banks.opm);
  assertSameFiles(downloadedFiles(await downloadAll('dmp')), expected.banks.dmp);

  // A card's buttons give its instrument alone, named after it.
  const name = expected.names[1].replace(/\.vpf$/, '');
  const single = tempDir();
  const patches = tempDir();
  execFileSync(cli, [demo], { cwd: patches });
  execFileSync(bank, ['wopn', `${name}.wopn`, path.join(patches, `${name}.vpf`)], { cwd: single });
  execFileSync(bank, ['dmp', name, path.join(patches, `${name}.vpf`)], { cwd: single });
  const before = await page.evaluate(() => window.caught.length);
  // "Download all" is below the cards, and the page holds only the cards near the view: back to them.
  await page.evaluate(() => window.scrollTo(0, 0));
  await page.waitForSelector(`[aria-label="Download ${name} as WOPN"]`, { timeout: 20000 });
  await clickSettled(page, `[aria-label="Download ${name} as WOPN"]`);
  await clickSettled(page, `[aria-label="Download ${name} as DMP"]`);
  await page.waitForFunction((n) => window.caught.length >= n + 2, { timeout: 60000, polling: 100 }, before);
  const caught = await page.evaluate(() => window.caught.slice(-2));
  assertSameFiles(downloadedFiles(caught[0]), { [`${name}.wopn`]: fs.readFileSync(path.join(single, `${name}.wopn`)) });
  assertSameFiles(downloadedFiles(caught[1]), {
    [`${name}.dmp`]: fs.readFileSync(path.join(single, name, `${name}.dmp`)),
  });
  fs.rmSync(single, { recursive: true, force: true });
  fs.rmSync(patches, { recursive: true, force: true });
});

test(
  "real-logs' WOPN, OPM and DMP downloads are timbrex-bank's",
  { skip: !fs.existsSync(realLogs) && `${realLogs} is absent`, timeout: 900000 },
  async () => {
    const expected = cliBanks([`${realLogs}/*`]);
    await harvest('#folder-input', [realLogs]);
    for (const format of ['wopn', 'opm', 'dmp']) {
      const download = await downloadAll(format);
      const files = downloadedFiles(download);
      // A lone WOPN bank; OPM files and DMP presets several, in one zip.
      if (format === 'wopn') assert.equal(download.name, 'timbrex-instruments.wopn');
      assertSameFiles(files, expected.banks[format]);
      console.log(
        `real-logs ${format}: ${Object.keys(files).length} files equal to timbrex-bank's (${expected.names.length} instruments)`,
      );
    }
  },
);
