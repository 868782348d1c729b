// Zips on the page, in headless Chromium from file://: a zip picked alone,
// or found in a picked folder, gives what the command line gives for the
// same tree unpacked in its place; zips that cannot be opened get their line
// and the rest of the drop goes on. "Play in song" reads a log again from
// its zip entry, and from an entry of the zip inside it.
//
// Environment: TIMBREX_SITE (the built site folder), TIMBREX_CLI (the native
// program). Uses ../shared/real-logs from the repository; skipped when absent.
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
const site = path.resolve(process.env.TIMBREX_SITE || path.join(repo, 'build-web', 'site'));
const cli = path.resolve(process.env.TIMBREX_CLI || path.join(repo, 'build', 'src', 'timbrex'));
const realLogs = path.join(repo, '..', 'shared', 'real-logs');
const demo = path.join(repo, 'examples', 'demo.vgz');
const skip = !fs.existsSync(realLogs) && `${realLogs} is absent`;

let browser;
let work;

test.before(async () => {
  work = fs.mkdtempSync(path.join(os.tmpdir(), 'timbrex-zip-page-'));
  browser = await launchChromium();
});

test.after(async () => {
  if (browser) await browser.close();
  if (work) fs.rmSync(work, { recursive: true, force: true });
});

function runCli(args) {
  const dir = fs.mkdtempSync(path.join(work, 'cli-'));
  const out = execFileSync(cli, args, { cwd: dir, encoding: 'latin1' });
  const files = {};
  for (const name of fs.readdirSync(dir).sort()) files[name] = fs.readFileSync(path.join(dir, name));
  return { lines: out.split('\n').filter((l) => l !== ''), files };
}

const normalise = (lines, root) => lines.map((line) => line.split(`'${root}`).join("'"));

// The soundtrack as a folder `ost` (real-logs, half of it in "disc 2/", a
// text file, and a folder "more/" holding the demo) and as `ost.zip`, which
// holds the same tree with "more/" as a zip inside it and directory entries
// of its own.
function makeSoundtrack(into) {
  const ost = path.join(into, 'ost');
  fs.mkdirSync(path.join(ost, 'disc 2'), { recursive: true });
  fs.mkdirSync(path.join(ost, 'more'));
  const entries = { 'disc 2/': new Uint8Array(0) };
  const names = fs.readdirSync(realLogs).sort();
  names.forEach((name, i) => {
    const at = i % 2 ? `disc 2/${name}` : name;
    const bytes = fs.readFileSync(path.join(realLogs, name));
    fs.writeFileSync(path.join(ost, at), bytes);
    entries[at] = bytes;
  });
  fs.writeFileSync(path.join(ost, 'notes.txt'), 'liner notes');
  entries['notes.txt'] = new TextEncoder().encode('liner notes');
  fs.copyFileSync(demo, path.join(ost, 'more', 'demo.vgz'));
  entries['more.zip'] = fflate.zipSync({ 'demo.vgz': fs.readFileSync(demo) });
  return { folder: ost, zip: fflate.zipSync(entries) };
}

// A zip whose two entries claim 2 GiB each.
function oversized() {
  const zip = fflate.zipSync({ 'a.vgm': new Uint8Array(10), 'b.vgm': new Uint8Array(10) }, { level: 0 });
  for (let at = 0; at + 4 <= zip.length; ++at) {
    if (zip[at] === 0x50 && zip[at + 1] === 0x4b && zip[at + 2] === 1 && zip[at + 3] === 2) {
      zip.set([0, 0, 0, 0x80], at + 24);
    }
  }
  return zip;
}

// `also(page)`, when given, looks at the page after the harvest; its result
// is the reply's `also`.
async function harvestThrough(selector, paths, also) {
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(String(e)));
  await page.goto(`file://${site}/index.html`);
  await (await page.$(selector)).uploadFile(...paths);
  await page.waitForFunction(() => window.timbrexPage.state.finished, { timeout: 300000, polling: 200 });
  const result = await page.evaluate(() => ({
    lines: window.timbrexPage.state.lines,
    zip: Array.from(window.timbrexPage.buildZip()),
    progress: document.getElementById('progress-text').textContent,
  }));
  result.also = also ? await also(page) : null;
  await page.close();
  assert.deepEqual(errors, []);
  return { ...result, files: fflate.unzipSync(new Uint8Array(result.zip)) };
}

// Every YM2612 instrument's solo stretch, rendered by the page's worker from
// its source log read again: source, channel, frames (or error) and the
// first frame above -60 dBFS.
function soloStretches(page) {
  return page.evaluate(async () => {
    const state = window.timbrexPage.state;
    const out = [];
    for (const instrument of state.instruments.filter((i) => i.origin.chip === 'YM2612')) {
      const reply = await new Promise((resolve) => {
        const id = `solo-${instrument.group}`;
        const listener = (event) => {
          if (event.data.id !== id) return;
          state.worker.removeEventListener('message', listener);
          resolve(event.data);
        };
        state.worker.addEventListener('message', listener);
        const origin = instrument.origin;
        state.worker.postMessage({
          type: 'song',
          id,
          log: instrument.log,
          sample: origin.sample,
          channel: origin.channel,
          solo: true,
        });
      });
      const samples = reply.samples || [];
      let onset = -1;
      for (let f = 0; f < samples.length / 2 && onset < 0; f++) {
        if (Math.abs(samples[2 * f] + samples[2 * f + 1]) / 2 > 32) onset = f;
      }
      out.push({
        source: instrument.source,
        channel: instrument.origin.channel,
        error: reply.error,
        frames: reply.frames,
        onset,
      });
    }
    return out;
  });
}

function assertSameFiles(actual, expected) {
  assert.deepEqual(Object.keys(actual).sort(), Object.keys(expected).sort());
  for (const name of Object.keys(expected)) assert.ok(Buffer.from(actual[name]).equals(expected[name]), name);
}

test("a zip picked alone gives the command line's files and lines for its tree unpacked", { skip }, async () => {
  const dir = fs.mkdtempSync(path.join(work, 'alone-'));
  const soundtrack = makeSoundtrack(dir);
  fs.writeFileSync(path.join(dir, 'ost.zip'), soundtrack.zip);
  const expected = runCli([`${soundtrack.folder}/*`]);
  const result = await harvestThrough('#file-input', [path.join(dir, 'ost.zip')], soloStretches);
  assert.deepEqual(normalise(result.lines, '/input/ost/'), normalise(expected.lines, `${soundtrack.folder}/`));
  assertSameFiles(result.files, expected.files);
  assert.ok(Object.keys(expected.files).length > 10);
  assert.ok(expected.lines.some((l) => l.includes('more/demo.vgz')));
  // Every song plays from its zip entry; the demo's, from the zip in the
  // zip, sound alone from their key-ons: the piano's first note at the
  // log's start, the bass at 0.6 s, the organ 1 s into its stretch.
  const songs = result.also;
  assert.ok(songs.length > 10, `${songs.length} YM2612 instruments`);
  assert.deepEqual(
    songs.filter((s) => s.error || !(s.frames > 0)),
    [],
  );
  const demoSongs = songs.filter((s) => s.source === 'ost/more/demo.vgz');
  assert.deepEqual(
    demoSongs.map((s) => s.channel),
    [1, 2, 6],
  );
  [0, 26460, 44100].forEach((expected, i) => {
    const onset = demoSongs[i].onset;
    assert.ok(onset >= expected && onset <= expected + 221, `channel ${demoSongs[i].channel} starts at ${onset}`);
  });
});

test('a zip picked with a log is opened in its place, as in the folder that holds them', { skip }, async () => {
  const dir = fs.mkdtempSync(path.join(work, 'with-a-log-'));
  const given = path.join(dir, 'given');
  const unpacked = path.join(dir, 'unpacked');
  fs.mkdirSync(given);
  fs.mkdirSync(unpacked);
  const soundtrack = makeSoundtrack(unpacked);
  fs.writeFileSync(path.join(given, 'ost.zip'), soundtrack.zip);
  for (const folder of [given, unpacked]) fs.copyFileSync(demo, path.join(folder, 'loose.vgz'));
  const expected = runCli([`${unpacked}/*`]);
  const result = await harvestThrough(
    '#file-input',
    ['ost.zip', 'loose.vgz'].map((n) => path.join(given, n)),
  );
  assert.deepEqual(normalise(result.lines, '/input/'), normalise(expected.lines, `${fs.realpathSync(unpacked)}/`));
  assertSameFiles(result.files, expected.files);
  assert.ok(expected.lines.some((l) => l.includes('ost/more/demo.vgz')));
});

test('zips in a picked folder are opened in place; damaged and oversized ones get their line', { skip }, async () => {
  // What the page is given: a folder with the soundtrack's zip, a damaged
  // zip, an oversized one and a log. What the command line is given: the
  // same folder with the soundtrack unpacked.
  const given = path.join(work, 'given', 'drop');
  const unpacked = path.join(work, 'unpacked', 'drop');
  fs.mkdirSync(given, { recursive: true });
  fs.mkdirSync(unpacked, { recursive: true });
  const soundtrack = makeSoundtrack(unpacked);
  fs.writeFileSync(path.join(given, 'ost.zip'), soundtrack.zip);
  fs.writeFileSync(path.join(given, 'bad.zip'), soundtrack.zip.subarray(0, soundtrack.zip.length - 30));
  fs.writeFileSync(path.join(given, 'big.zip'), oversized());
  for (const folder of [given, unpacked]) fs.copyFileSync(demo, path.join(folder, 'loose.vgz'));
  const expected = runCli([`${unpacked}/*`]);
  const result = await harvestThrough('#folder-input', [given]);
  const problems = result.lines.filter((l) => /^ERR: Can't open file '\/input\/drop\/(bad|big)\.zip'/.test(l));
  assert.deepEqual(problems, [
    "ERR: Can't open file '/input/drop/bad.zip' (no zip directory at its end)",
    "ERR: Can't open file '/input/drop/big.zip' (its entries claim more than 1 GiB; the page opens at most that)",
  ]);
  const rest = result.lines.filter((l) => !problems.includes(l));
  assert.deepEqual(normalise(rest, '/input/drop/'), normalise(expected.lines, `${fs.realpathSync(unpacked)}/`));
  assertSameFiles(result.files, expected.files);
  // The progress counts the logs inside the zip and the two refused zips.
  const logs = expected.lines.filter((l) => /^(OK: Processing|ERR: )/.test(l)).length;
  assert.match(result.progress, new RegExp(`^${logs + 2} of ${logs + 2} logs read`));
});
