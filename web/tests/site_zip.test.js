// The page as people download it: the site zip unpacked into an empty folder,
// index.html opened from file:// in headless Chromium, the demo harvested, and
// the page's zip of instruments compared with the command line's files.
//
// Environment: TIMBREX_SITE_ZIP (the zip; by default
// build-web/timbrex-web-VERSION.zip), TIMBREX_CLI (the native program),
// TIMBREX_SCREENSHOTS (where card.png, the first card, goes; none when unset).
import test from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { execFileSync } from 'node:child_process';
import { launchChromium } from './browser.js';
import * as fflate from 'fflate';

const repo = fileURLToPath(new URL('../..', import.meta.url));
const cli = path.resolve(process.env.TIMBREX_CLI || path.join(repo, 'build', 'src', 'timbrex'));
const demo = path.join(repo, 'examples', 'demo.vgz');
const version = fs.readFileSync(path.join(repo, 'CMakeLists.txt'), 'latin1').match(/VERSION (\d+\.\d+\.\d+)/)[1];
const folder = `timbrex-web-${version}`;
const siteZip = path.resolve(process.env.TIMBREX_SITE_ZIP || path.join(repo, 'build-web', `${folder}.zip`));

function tempDir() {
  return fs.mkdtempSync(path.join(os.tmpdir(), 'timbrex-site-zip-'));
}

function filesOf(entries) {
  const files = {};
  for (const name of Object.keys(entries).sort()) files[name] = Buffer.from(entries[name]);
  return files;
}

// The command line's files for `args`, written in a fresh folder.
function cliFiles(args) {
  const dir = tempDir();
  execFileSync(cli, args, { cwd: dir });
  const files = {};
  for (const name of fs.readdirSync(dir).sort()) files[name] = fs.readFileSync(path.join(dir, name));
  fs.rmSync(dir, { recursive: true, force: true });
  return files;
}

test('the site zip unpacked into an empty folder opens from file:// and harvests the demo as the command line does', async () => {
  const entries = fflate.unzipSync(fs.readFileSync(siteZip));
  const names = Object.keys(entries).filter((n) => !n.endsWith('/'));
  assert.ok(
    names.every((n) => n.startsWith(`${folder}/`)),
    `entries outside ${folder}/: ${names.join(' ')}`,
  );
  for (const name of [
    'index.html',
    'README.txt',
    'LICENSE.txt',
    'licenses/fflate.txt',
    'licenses/libgme-LGPL-2.1.txt',
    'licenses/libgme-source.txt',
  ]) {
    assert.ok(names.includes(`${folder}/${name}`), `the zip lacks ${name}`);
  }
  const text = (name) => Buffer.from(entries[`${folder}/${name}`]).toString('utf8');
  assert.match(text('licenses/libgme-LGPL-2.1.txt'), /GNU LESSER GENERAL PUBLIC LICENSE\s+Version 2\.1/);
  assert.match(text('licenses/libgme-source.txt'), /game-music-emu/);
  assert.match(text('licenses/fflate.txt'), /MIT License/);
  // The README names every licence the zip carries (libdeflate's where the
  // worker links it) and no other; the page links none it lacks.
  const licences = names.filter((n) => n.startsWith(`${folder}/licenses/`)).map((n) => n.slice(folder.length + 1));
  assert.deepEqual([...new Set(text('README.txt').match(/licenses\/[\w.-]+\.txt/g))].sort(), licences.sort());
  for (const [, link] of text('index.html').matchAll(/href="(licenses\/[^"]+)"/g)) {
    assert.ok(licences.includes(link), `index.html links ${link}, which the zip lacks`);
  }
  if (licences.includes('licenses/libdeflate.txt')) {
    assert.match(text('licenses/libdeflate.txt'), /Eric Biggers[\s\S]*Permission is hereby granted/);
  }
  assert.match(text('README.txt'), new RegExp(`timbrex ${version.replace(/\./g, '\\.')} in your browser`));
  assert.match(text('README.txt'), /Open index\.html/);

  const dir = tempDir();
  assert.deepEqual(fs.readdirSync(dir), []);
  for (const name of names) {
    fs.mkdirSync(path.dirname(path.join(dir, name)), { recursive: true });
    fs.writeFileSync(path.join(dir, name), entries[name]);
  }

  const browser = await launchChromium();
  try {
    const page = await browser.newPage();
    // A file the page lacks shows as an error at once, not as a harvest that never ends.
    const problems = [];
    let reportProblem;
    const problem = new Promise((resolve, reject) => {
      reportProblem = reject;
    });
    problem.catch(() => {}); // one after the harvest is caught by the check of `problems` below
    const note = (text) => {
      problems.push(text);
      reportProblem(new Error(`the page: ${text}`));
    };
    page.on('console', (m) => {
      if (m.type() === 'error') note(m.text());
    });
    page.on('pageerror', (e) => note(String(e)));
    page.on('requestfailed', (r) => note(`${r.url()}: ${r.failure().errorText}`));
    await page.setViewport({ width: 1280, height: 900 });
    await page.goto(`file://${path.join(dir, folder, 'index.html')}`);
    await (await page.$('#file-input')).uploadFile(demo);
    await Promise.race([
      problem,
      page.waitForFunction(() => window.timbrexPage.state.finished, { timeout: 120000, polling: 200 }),
    ]);
    const result = await page.evaluate(() => ({
      cards: document.querySelectorAll('#cards .card').length,
      zip: Array.from(window.timbrexPage.buildZip()),
    }));
    assert.equal(result.cards, 5);
    const expected = cliFiles([demo]);
    assert.equal(Object.keys(expected).length, 5);
    const harvested = filesOf(fflate.unzipSync(Uint8Array.from(result.zip)));
    assert.deepEqual(Object.keys(harvested), Object.keys(expected));
    for (const name of Object.keys(expected)) assert.ok(harvested[name].equals(expected[name]), `${name} differs`);
    assert.deepEqual(problems, []);

    if (process.env.TIMBREX_SCREENSHOTS) {
      fs.mkdirSync(process.env.TIMBREX_SCREENSHOTS, { recursive: true });
      await page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));
      const card = await page.$('#cards .card');
      await card.screenshot({ path: path.join(process.env.TIMBREX_SCREENSHOTS, 'card.png') });
    }
  } finally {
    await browser.close();
    fs.rmSync(dir, { recursive: true, force: true });
  }
});
