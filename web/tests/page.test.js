// The page end to end in headless Chromium, opened from file:// as a user
// opens it: logs fed through its file inputs, results read back from the
// page and compared with what the command-line program prints and writes.
//
// Environment: TIMBREX_SITE (the built site folder), TIMBREX_CLI (the native
// program), TIMBREX_SCREENSHOTS (where the screenshots go). The real-log
// folders are looked for at ../shared from the repository and skipped when
// absent.
import test from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import zlib from 'node:zlib';
import { execFileSync } from 'node:child_process';
import { copyIntoOpfs, filesBelow, launchChromium, pickFolderFromOpfs, serveSite } from './browser.js';
import * as fflate from 'fflate';

const repo = fileURLToPath(new URL('../..', import.meta.url));
const site = path.resolve(process.env.TIMBREX_SITE || path.join(repo, 'build-web', 'site'));
const cli = path.resolve(process.env.TIMBREX_CLI || path.join(repo, 'build', 'src', 'timbrex'));
const screenshots = path.resolve(process.env.TIMBREX_SCREENSHOTS || path.join(repo, 'build-web', 'screenshots'));
const shared = path.join(repo, '..', 'shared');
const demo = path.join(repo, 'examples', 'demo.vgz');

let browser;
let page;
const consoleErrors = [];

function tempDir() {
  return fs.mkdtempSync(path.join(os.tmpdir(), 'timbrex-page-'));
}

// The command line's run in a fresh folder: its printed lines and files.
function runCli(args) {
  const dir = tempDir();
  const out = execFileSync(cli, args, { cwd: dir, encoding: 'latin1' });
  const files = {};
  for (const name of fs.readdirSync(dir).sort()) files[name] = fs.readFileSync(path.join(dir, name));
  fs.rmSync(dir, { recursive: true, force: true });
  return { lines: out.split('\n').filter((l) => l !== ''), files };
}

// The printed lines with the one thing allowed to differ, the spelling of a
// path, cut down to what follows `root`.
function normalise(lines, root) {
  return lines.map((line) => line.split(`'${root}`).join("'"));
}

async function openPage() {
  if (page) await page.close();
  page = await browser.newPage();
  page.on('console', (m) => {
    if (m.type() === 'error') consoleErrors.push(m.text());
  });
  page.on('pageerror', (e) => consoleErrors.push(String(e)));
  await page.setViewport({ width: 1280, height: 900 });
  await page.goto(`file://${site}/index.html`);
}

async function harvestThrough(selector, paths, timeout = 300000) {
  await openPage();
  const input = await page.$(selector);
  await input.uploadFile(...paths);
  await page.waitForFunction(() => window.timbrexPage.state.finished, { timeout, polling: 200 });
  return page.evaluate(() => ({
    lines: window.timbrexPage.state.lines,
    instruments: window.timbrexPage.state.instruments.map((i) => ({
      fileName: i.fileName,
      source: i.source,
      saved: i.saved,
      origin: i.origin,
    })),
    zip: Array.from(window.timbrexPage.buildZip()),
    cards: document.querySelectorAll('#cards .card').length,
    progress: document.getElementById('progress-text').textContent,
    memoryBytes: window.timbrexPage.state.memoryBytes,
  }));
}

function unzip(bytes) {
  const entries = fflate.unzipSync(Uint8Array.from(bytes));
  const files = {};
  for (const name of Object.keys(entries).sort()) files[name] = Buffer.from(entries[name]);
  return files;
}

function assertSameFiles(actual, expected) {
  assert.deepEqual(Object.keys(actual), Object.keys(expected));
  for (const name of Object.keys(expected)) assert.ok(actual[name].equals(expected[name]), `${name} differs`);
}

test.before(async () => {
  browser = await launchChromium();
});

test.after(async () => {
  if (browser) await browser.close();
});

test('the site is complete and under 1 MB', () => {
  let bytes = 0;
  const walk = (dir) => {
    for (const entry of fs.readdirSync(dir, { withFileTypes: true })) {
      const full = path.join(dir, entry.name);
      if (entry.isDirectory()) walk(full);
      else bytes += fs.statSync(full).size;
    }
  };
  walk(site);
  for (const name of ['index.html', 'bundle.js', 'style.css', 'licenses/fflate.txt']) {
    assert.ok(fs.existsSync(path.join(site, name)), `${name} is missing`);
  }
  console.log(`site: ${bytes} bytes`);
  assert.ok(bytes < 1024 * 1024, `the site is ${bytes} bytes`);
});

test("the demo gives the command line's 5 files, lines and cards; screenshots", async () => {
  const expected = runCli([demo]);
  const result = await harvestThrough('#file-input', [demo]);
  assert.equal(result.cards, 5);
  assert.deepEqual(
    result.instruments.map((i) => i.fileName),
    Object.keys(expected.files),
  );
  assert.ok(result.instruments.every((i) => i.saved && i.source === 'demo.vgz'));
  // Where each was heard: the louder take of the piano and of the brass, at
  // the sample of its key-on.
  const heard = (chip, channel, sample, captures) => ({
    chip,
    channel,
    sample,
    logs: 1,
    captures,
    failedCheck: false,
  });
  assert.deepEqual(
    result.instruments.map((i) => i.origin),
    [
      heard('YM2612', 1, 13230, 2),
      heard('YM2612', 2, 26460, 1),
      heard('YM2612', 6, 50715, 1),
      heard('YM2151', 3, 88680, 2),
      heard('YM2151', 8, 101910, 1),
    ],
  );
  assertSameFiles(unzip(result.zip), expected.files);
  assert.deepEqual(normalise(result.lines, '/input/'), normalise(expected.lines, path.dirname(demo) + '/'));
  assert.match(result.progress, /^1 of 1 logs read; 5 instruments\.$/);

  // Each card says where its instrument was heard; the chip filter keeps one chip's cards.
  const origins = await page.$$eval('#cards .card', (list) =>
    list.map((c) => [c.querySelector('.origin-where').textContent, c.querySelector('.origin-heard').textContent]),
  );
  assert.deepEqual(origins, [
    ['YM2612 channel 1, first heard at 0:00.30 in demo.vgz', 'heard in 1 log, 2 times'],
    ['YM2612 channel 2, first heard at 0:00.60 in demo.vgz', 'heard in 1 log, 1 time'],
    ['YM2612 channel 6, first heard at 0:01.15 in demo.vgz', 'heard in 1 log, 1 time'],
    ['YM2151 channel 3, first heard at 0:02.01 in demo.vgz', 'heard in 1 log, 2 times'],
    ['YM2151 channel 8, first heard at 0:02.31 in demo.vgz', 'heard in 1 log, 1 time'],
  ]);
  assert.equal(await page.$$eval('#cards .origin-warning', (list) => list.length), 0);
  await page.select('#filter-chip', 'YM2151');
  assert.deepEqual(await page.$$eval('#cards .card', (list) => list.map((c) => c.dataset.chip)), ['YM2151', 'YM2151']);
  // A YM2151 card says its preview plays on a YM2612, and only a YM2151 card says it.
  assert.equal(await page.$$eval('#cards .card .preview-chip', (list) => list.length), 2);
  await page.select('#filter-chip', '');
  assert.equal(await page.$$eval('#cards .card .preview-chip', (list) => list.length), 2);

  // Every card carries its drawings and its bytes.
  const cards = await page.evaluate(() =>
    [...document.querySelectorAll('#cards .card')].map((card) => ({
      ops: card.querySelectorAll('svg.algorithm [data-op]').length,
      curves: card.querySelectorAll('svg.envelope polyline[data-op]').length,
      rows: card.querySelectorAll('table tr').length,
      hex: card.querySelector('.hex').textContent.split(' ').length,
    })),
  );
  for (const card of cards) assert.deepEqual(card, { ops: 4, curves: 4, rows: 5, hex: 42 });

  // Filter by algorithm, then sort by it. The cards drawn for the harvest are
  // moved, never drawn again: a folder's thousand cards took seconds to redraw.
  await page.$$eval('#cards .card', (list) =>
    list.forEach((c, i) => {
      c.dataset.drawn = String(i);
    }),
  );
  const algs = await page.evaluate(() => window.timbrexPage.state.instruments.map((i) => i.voice.ALG));
  await page.select('#filter-alg', String(algs[0]));
  const filtered = await page.$$eval('#cards .card', (list) => list.map((c) => c.dataset.alg));
  assert.equal(filtered.length, algs.filter((a) => a === algs[0]).length);
  assert.ok(filtered.every((a) => a === String(algs[0])));
  await page.select('#filter-alg', '');
  await page.select('#sort', 'alg');
  const sorted = await page.$$eval('#cards .card', (list) => list.map((c) => Number(c.dataset.alg)));
  assert.deepEqual(
    sorted,
    [...algs].sort((a, b) => a - b),
  );
  await page.select('#sort', 'group');
  const drawn = await page.$$eval('#cards .card', (list) => list.map((c) => c.dataset.drawn));
  assert.deepEqual(drawn, ['0', '1', '2', '3', '4']);

  // Every control has a name a screen reader can say.
  const unnamed = await page.evaluate(() =>
    [...document.querySelectorAll('input, select, button')]
      .filter((c) => !(c.labels && c.labels.length) && !c.getAttribute('aria-label') && !c.textContent.trim())
      .map((c) => c.id || c.outerHTML),
  );
  assert.deepEqual(unnamed, []);

  fs.mkdirSync(screenshots, { recursive: true });
  await screenshotWhole(path.join(screenshots, 'desktop.png'), 1280);
  await page.setViewport({ width: 360, height: 740 });
  const overflow = await page.evaluate(() => document.documentElement.scrollWidth);
  assert.ok(overflow <= 360, `the page is ${overflow} px wide at 360 px`);
  await screenshotWhole(path.join(screenshots, 'narrow.png'), 360);
});

// A log whose gzip check fails is harvested as the command line harvests it,
// with its "OK" line, and each of its cards warns of the damage.
test('cards from a log that failed its check carry a warning', async () => {
  const damaged = fs.readFileSync(demo);
  damaged[damaged.length - 8] ^= 0xff; // the member's CRC
  const file = path.join(tempDir(), 'damaged.vgz');
  fs.writeFileSync(file, damaged);
  const expected = runCli([file]);
  const result = await harvestThrough('#file-input', [file]);
  assert.deepEqual(normalise(result.lines, '/input/'), normalise(expected.lines, path.dirname(file) + '/'));
  assert.equal(result.cards, 5);
  assert.ok(result.instruments.every((i) => i.origin.failedCheck));
  const warnings = await page.$$eval('#cards .card .origin-warning', (list) => list.map((w) => w.textContent));
  assert.equal(warnings.length, 5);
  assert.match(warnings[0], /damaged\.vgz failed its gzip check/);
});

// The whole page as a user scrolling it sees it: cards are laid out only in
// view, so the view is made as tall as the page until its height holds.
async function screenshotWhole(file, width) {
  let height = 0;
  for (let tries = 0; tries < 5; ++tries) {
    const now = await page.evaluate(() => document.documentElement.scrollHeight);
    if (now === height) break;
    height = now;
    await page.setViewport({ width, height });
    await page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));
  }
  await page.screenshot({ path: file });
}

// A drag of files from the desktop, as the DevTools protocol sends one.
async function dropFiles(paths) {
  await openPage();
  const box = await (await page.$('#drop-zone')).boundingBox();
  const client = await page.createCDPSession();
  const at = { x: box.x + box.width / 2, y: box.y + box.height / 2 };
  const data = { items: [], files: paths, dragOperationsMask: 1 };
  for (const type of ['dragEnter', 'dragOver', 'drop'])
    await client.send('Input.dispatchDragEvent', { type, ...at, data });
  await page.waitForFunction(() => window.timbrexPage.state.finished, { timeout: 60000, polling: 200 });
  return page.evaluate(() => ({
    zip: Array.from(window.timbrexPage.buildZip()),
    lines: window.timbrexPage.state.lines,
  }));
}

test("a log dropped on the page gives the command line's files", async () => {
  const expected = runCli([demo]);
  const result = await dropFiles([demo]);
  assertSameFiles(unzip(result.zip), expected.files);
  assert.deepEqual(normalise(result.lines, '/input/'), normalise(expected.lines, path.dirname(demo) + '/'));
});

// The File System Access pickers, as Chromium opens them in place of the
// inputs' chooser. The DevTools protocol cannot answer such a picker, so the
// picker is replaced by one that gives a real folder handle: the tree copied
// into the origin-private file system, which needs the page over http.

// A soundtrack folder `ost` on disk: the demo at its top and in sub/ (once
// unpacked), a damaged log and a truncated one in sub/deeper/, a text file,
// a zip holding the demo, and real-logs in real/ when present.
function pickerTree() {
  const top = tempDir();
  const ost = path.join(top, 'ost');
  const gz = fs.readFileSync(demo);
  const damaged = Buffer.from(gz);
  for (let i = 40; i < 60; ++i) damaged[i] ^= 0x5a;
  const files = {
    'a.vgz': gz,
    'sub/b.vgm': zlib.gunzipSync(gz),
    'sub/deeper/c damaged.vgz': damaged,
    'sub/deeper/d truncated.VGM': zlib.gunzipSync(gz).subarray(0, 100),
    'notes.txt': Buffer.from('liner notes'),
    'more.zip': Buffer.from(fflate.zipSync({ 'x/demo.vgz': gz })),
  };
  const realLogs = path.join(shared, 'real-logs');
  if (fs.existsSync(realLogs))
    for (const name of filesBelow(realLogs)) files[`real/${name}`] = fs.readFileSync(path.join(realLogs, name));
  for (const [name, bytes] of Object.entries(files)) {
    fs.mkdirSync(path.dirname(path.join(ost, name)), { recursive: true });
    fs.writeFileSync(path.join(ost, name), bytes);
  }
  // What the command line is given: the same tree with the zip unpacked.
  const unpacked = path.join(top, 'unpacked', 'ost');
  fs.cpSync(ost, unpacked, { recursive: true });
  fs.rmSync(path.join(unpacked, 'more.zip'));
  fs.mkdirSync(path.join(unpacked, 'more', 'x'), { recursive: true });
  fs.writeFileSync(path.join(unpacked, 'more', 'x', 'demo.vgz'), gz);
  return { top, ost, unpacked };
}

// The page over http with the folder `tree.ost` in its origin-private file
// system, as the folder `name`; `beforeScripts` runs in the page before the
// page's own.
async function openServed(tree, beforeScripts, name = 'ost') {
  if (page) await page.close();
  page = await browser.newPage();
  page.on('console', (m) => {
    if (m.type() === 'error') consoleErrors.push(m.text());
  });
  page.on('pageerror', (e) => consoleErrors.push(String(e)));
  if (beforeScripts) await page.evaluateOnNewDocument(beforeScripts);
  const server = await serveSite(site, tree.ost);
  await page.goto(server.url);
  await copyIntoOpfs(page, name, filesBelow(tree.ost));
  return server;
}

const harvested = () =>
  page.evaluate(() => ({
    lines: window.timbrexPage.state.lines,
    zip: Array.from(window.timbrexPage.buildZip()),
  }));
const finished = () => page.waitForFunction(() => window.timbrexPage.state.finished, { timeout: 120000, polling: 200 });

test("a folder from the folder picker gives the command line's files and lines", async () => {
  const tree = pickerTree();
  const expected = runCli([`${tree.unpacked}/*`]);
  const server = await openServed(tree);
  try {
    await pickFolderFromOpfs(page, 'ost');
    await page.click('label[for="folder-input"]');
    await finished();
    const result = await harvested();
    assert.equal(await page.evaluate(() => window.pickerCalls), 1);
    assert.deepEqual(
      normalise(result.lines, '/input/ost/'),
      normalise(expected.lines, `${fs.realpathSync(tree.unpacked)}/`),
    );
    assertSameFiles(unzip(result.zip), expected.files);
    assert.ok(expected.lines.some((l) => l.includes("more/x/demo.vgz'")));
    assert.ok(expected.lines.some((l) => l.startsWith('ERR: ')));
  } finally {
    await server.close();
    fs.rmSync(tree.top, { recursive: true, force: true });
  }
});

test("a picked folder's file the browser will not give is one the program cannot open", async () => {
  // The page's folder: a log and a zip that the browser refuses (changed
  // since the walk), and one it gives. The command line's: the one it gives.
  const top = tempDir();
  const tree = { top, ost: path.join(top, 'ost') };
  const unpacked = path.join(top, 'unpacked');
  fs.mkdirSync(tree.ost);
  fs.mkdirSync(unpacked);
  for (const name of ['a gone.vgz', 'b gone.zip', 'c.vgz']) fs.copyFileSync(demo, path.join(tree.ost, name));
  fs.copyFileSync(demo, path.join(unpacked, 'c.vgz'));
  const expected = runCli([`${unpacked}/*`]);
  const server = await openServed(tree);
  try {
    await page.evaluate(() => {
      const refusing = (handle) => ({
        kind: 'file',
        name: handle.name,
        getFile: () => Promise.reject(new DOMException('changed since the walk', 'NotReadableError')),
      });
      window.showDirectoryPicker = async () => {
        const folder = await (await navigator.storage.getDirectory()).getDirectoryHandle('ost');
        return {
          kind: 'directory',
          name: 'ost',
          entries: async function* entries() {
            for await (const [name, handle] of folder.entries())
              yield [name, name.includes('gone') ? refusing(handle) : handle];
          },
        };
      };
    });
    await page.click('label[for="folder-input"]');
    await finished();
    const result = await harvested();
    // The zips' lines come before the program's, which reads in the walk's order.
    assert.deepEqual(normalise(result.lines, '/input/ost/'), [
      "ERR: Can't open file 'b gone.zip' (it could not be read)",
      "ERR: Can't open file 'a gone.vgz'",
      ...normalise(expected.lines, `${fs.realpathSync(unpacked)}/`),
    ]);
    assertSameFiles(unzip(result.zip), expected.files);
  } finally {
    await server.close();
    fs.rmSync(top, { recursive: true, force: true });
  }
});

// Loose logs in byte order of their names, and a zip alone, harvested as the folder it holds.
test('files from the file picker, opened from the drop zone, are harvested as the input gives them', async () => {
  const tree = pickerTree();
  try {
    for (const { picked, heard } of [
      { picked: ['sub/b.vgm', 'sub/deeper/c damaged.vgz', 'a.vgz'], heard: "'/input/b.vgm'" },
      { picked: ['more.zip'], heard: "'/input/more/x/demo.vgz'" },
    ]) {
      const server = await openServed(tree);
      let result;
      try {
        await page.evaluate((picked) => {
          window.showOpenFilePicker = async (options) => {
            window.pickerOptions = options;
            const root = await (await navigator.storage.getDirectory()).getDirectoryHandle('ost');
            const handle = async (at) => {
              const parts = at.split('/');
              let folder = root;
              for (const part of parts.slice(0, -1)) folder = await folder.getDirectoryHandle(part);
              return folder.getFileHandle(parts[parts.length - 1]);
            };
            return Promise.all(picked.map(handle));
          };
        }, picked);
        await page.focus('#drop-zone');
        await page.keyboard.press('Enter');
        await finished();
        result = await harvested();
        // Logs and zips of them are offered.
        const offered = await page.evaluate(() =>
          window.pickerOptions.types.flatMap((t) => Object.values(t.accept).flat()),
        );
        assert.deepEqual(offered.sort(), ['.vgm', '.vgz', '.zip']);
      } finally {
        await server.close();
      }
      const expected = await harvestThrough(
        '#file-input',
        picked.map((at) => path.join(tree.ost, at)),
      );
      assert.deepEqual(result.lines, expected.lines);
      assert.ok(
        result.lines.some((l) => l.includes(heard)),
        result.lines.join('\n'),
      );
      assertSameFiles(unzip(result.zip), unzip(expected.zip));
    }
  } finally {
    fs.rmSync(tree.top, { recursive: true, force: true });
  }
});

// A picker closed without a choice changes nothing; one the browser refuses
// says why, as a failed harvest does.
for (const { name, error, progress } of [
  { name: 'AbortError', error: 'The user aborted a request.', progress: null },
  {
    name: 'SecurityError',
    error: 'Must be handling a user gesture.',
    progress: /^The harvest stopped: .*SecurityError/,
  },
]) {
  test(`a folder picker that fails with ${name} leaves the page ${progress ? 'saying why' : 'as it was'}`, async () => {
    const tree = pickerTree();
    const server = await openServed(tree);
    try {
      await page.evaluate(
        (name, error) => {
          window.showDirectoryPicker = () => {
            window.pickerCalls = 1;
            return Promise.reject(new DOMException(error, name));
          };
        },
        name,
        error,
      );
      await page.click('label[for="folder-input"]');
      // The rejection is taken in the tasks after the click.
      await page.waitForFunction(() => window.pickerCalls === 1);
      await page.evaluate(() => new Promise((resolve) => setTimeout(resolve, 100)));
      const shown = await page.evaluate(() => ({
        progressHidden: document.getElementById('progress-area').hidden,
        progress: document.getElementById('progress-text').textContent,
        logHidden: document.getElementById('log-area').hidden,
        worker: Boolean(window.timbrexPage.state.worker),
      }));
      if (progress) {
        assert.equal(shown.progressHidden, false);
        assert.match(shown.progress, progress);
      } else {
        assert.deepEqual(shown, { progressHidden: true, progress: '', logHidden: true, worker: false });
      }
    } finally {
      await server.close();
      fs.rmSync(tree.top, { recursive: true, force: true });
    }
  });
}

test('a browser without the pickers picks a folder through the input', async () => {
  const tree = pickerTree();
  const expected = runCli([`${tree.unpacked}/*`]);
  const server = await openServed(tree, () => {
    delete window.showDirectoryPicker;
    delete window.showOpenFilePicker;
  });
  try {
    assert.equal(await page.evaluate(() => 'showDirectoryPicker' in window), false);
    const [chooser] = await Promise.all([page.waitForFileChooser(), page.click('label[for="folder-input"]')]);
    await chooser.accept([tree.ost]);
    await finished();
    const result = await harvested();
    assert.deepEqual(
      normalise(result.lines, '/input/ost/'),
      normalise(expected.lines, `${fs.realpathSync(tree.unpacked)}/`),
    );
    assertSameFiles(unzip(result.zip), expected.files);
  } finally {
    await server.close();
    fs.rmSync(tree.top, { recursive: true, force: true });
  }
});

test("broken logs give the command line's lines", async () => {
  const dir = tempDir();
  const gz = fs.readFileSync(demo);
  const damaged = Buffer.from(gz);
  for (let i = 40; i < 60; ++i) damaged[i] ^= 0x5a;
  fs.writeFileSync(path.join(dir, 'a damaged.vgz'), damaged);
  fs.writeFileSync(path.join(dir, 'b truncated.vgm'), zlib.gunzipSync(gz).subarray(0, 100));
  fs.writeFileSync(path.join(dir, 'c not a log.vgm'), 'this is not a VGM log\n');
  const names = ['a damaged.vgz', 'b truncated.vgm', 'c not a log.vgm'].map((n) => path.join(dir, n));
  const expected = runCli(names);
  const result = await harvestThrough('#file-input', [names[2], names[0], names[1]]);
  assert.deepEqual(normalise(result.lines, '/input/'), normalise(expected.lines, dir + '/'));
  assert.ok(
    expected.lines.some((l) => l.startsWith('ERR: No VGM found')),
    expected.lines.join('\n'),
  );
  assertSameFiles(unzip(result.zip), expected.files);
  fs.rmSync(dir, { recursive: true, force: true });
});

for (const name of ['real-logs', 'bench-logs']) {
  const folder = path.join(shared, name);
  test(
    `${name} given as a folder gives the command line's files and lines`,
    { skip: !fs.existsSync(folder) && `${folder} is absent`, timeout: 900000 },
    async () => {
      const expected = runCli([`${folder}/*`]);
      // The walk prints the full paths the system reports, links resolved.
      const printedFolder = fs.realpathSync(folder);
      const result = await harvestThrough('#folder-input', [folder], 800000);
      assert.deepEqual(normalise(result.lines, `/input/${name}/`), normalise(expected.lines, `${printedFolder}/`));
      const files = unzip(result.zip);
      assertSameFiles(files, expected.files);
      // The logs are read from the dropped files one at a time: the module's memory stays below the drop's size.
      const dropBytes = execFileSync('du', ['-sb', folder], { encoding: 'utf8' }).split('\t')[0];
      console.log(
        `${name}: ${Object.keys(files).length} files equal, ${result.lines.length} lines equal; ` +
          `wasm memory ${result.memoryBytes} bytes for a drop of ${dropBytes}`,
      );
      if (Number(dropBytes) > 20 * 1024 * 1024) assert.ok(result.memoryBytes < Number(dropBytes));

      // Filtered by a source log, the cards are that log's instruments; sorted by source, in byte order of the logs.
      const source = result.instruments[result.instruments.length - 1].source;
      // The cards view is a window onto the shown list: the cards in the page are its first ones.
      const shownSources = () =>
        page.evaluate(() => ({
          shown: window.timbrexPage.state.shown.map((i) => i.source),
          cards: [...document.querySelectorAll('#cards .card')].map((c) => c.dataset.source),
        }));
      await page.select('#filter-source', source);
      const { shown, cards } = await shownSources();
      assert.equal(shown.length, result.instruments.filter((i) => i.source === source).length);
      assert.ok(shown.every((s) => s === source));
      assert.ok(cards.length > 0);
      assert.deepEqual(cards, shown.slice(0, cards.length));
      await page.select('#filter-source', '');
      await page.select('#sort', 'source');
      const bySource = await shownSources();
      assert.equal(bySource.shown.length, result.instruments.length);
      assert.deepEqual(bySource.cards, bySource.shown.slice(0, bySource.cards.length));
      const bytes = (s) => Buffer.from(s, 'utf8');
      for (let i = 1; i < bySource.shown.length; ++i)
        assert.ok(Buffer.compare(bytes(bySource.shown[i - 1]), bytes(bySource.shown[i])) <= 0);

      // The same folder from the folder picker, walked as a folder handle: the same lines and files.
      const server = await openServed({ ost: folder }, null, name);
      try {
        await pickFolderFromOpfs(page, name);
        await page.click('label[for="folder-input"]');
        await page.waitForFunction(() => window.timbrexPage.state.finished, { timeout: 800000, polling: 200 });
        const picked = await harvested();
        assert.deepEqual(picked.lines, result.lines);
        assertSameFiles(unzip(picked.zip), expected.files);
      } finally {
        await server.close();
      }
    },
  );
}

// The connections of the eight algorithms as the chip manuals draw them,
// operators numbered 1 to 4.
const CONNECTIONS = [
  { edges: ['1>2', '2>3', '3>4'], carriers: [4] },
  { edges: ['1>3', '2>3', '3>4'], carriers: [4] },
  { edges: ['1>4', '2>3', '3>4'], carriers: [4] },
  { edges: ['1>2', '2>4', '3>4'], carriers: [4] },
  { edges: ['1>2', '3>4'], carriers: [2, 4] },
  { edges: ['1>2', '1>3', '1>4'], carriers: [2, 3, 4] },
  { edges: ['1>2'], carriers: [2, 3, 4] },
  { edges: [], carriers: [1, 2, 3, 4] },
];

test("each algorithm's diagram has its carriers and connections", async () => {
  await openPage();
  const drawn = await page.evaluate(() =>
    [0, 1, 2, 3, 4, 5, 6, 7].map((alg) => {
      const box = document.createElement('div');
      box.innerHTML = window.timbrexPage.draw.algorithmSvg(alg, 5);
      document.body.append(box);
      const svg = box.querySelector('svg');
      const result = {
        edges: [...svg.querySelectorAll('line[data-from]')].map((l) => `${l.dataset.from}>${l.dataset.to}`).sort(),
        carriers: [...svg.querySelectorAll('[data-carrier]')].map((g) => Number(g.dataset.op)).sort(),
        outputs: [...svg.querySelectorAll('line[data-output]')].map((l) => Number(l.dataset.output)).sort(),
        ops: [...svg.querySelectorAll('g[data-op]')]
          .map((g) => g.textContent)
          .sort()
          .join(''),
        feedback: svg.querySelector('[data-feedback]').dataset.feedback,
        onScreen: svg.getBBox().width > 0,
      };
      box.remove();
      return result;
    }),
  );
  drawn.forEach((d, alg) => {
    assert.deepEqual(d.edges, CONNECTIONS[alg].edges, `algorithm ${alg}`);
    assert.deepEqual(d.carriers, CONNECTIONS[alg].carriers, `algorithm ${alg}`);
    assert.deepEqual(d.outputs, CONNECTIONS[alg].carriers, `algorithm ${alg}`);
    assert.equal(d.ops, '1234');
    assert.equal(d.feedback, '5');
    assert.ok(d.onScreen);
  });
});

test('an envelope with AR 31 rises at once; one with RR 15 falls fastest', async () => {
  await openPage();
  const drawn = await page.evaluate(() => {
    const op = (number, fields) =>
      Object.assign({ number, MUL: 1, DT: 0, TL: 0, RS: 0, AR: 31, DR: 0, SR: 0, RR: 7, SL: 0, SSG: 0 }, fields);
    const box = document.createElement('div');
    // Operator 1: AR 31; 2: AR 12; 3: RR 15; 4: RR 10.
    box.innerHTML = window.timbrexPage.draw.envelopeSvg({
      operators: [op(1, {}), op(2, { AR: 12 }), op(3, { RR: 15 }), op(4, { RR: 10 })],
    });
    document.body.append(box);
    const points = (n) =>
      box
        .querySelector(`polyline[data-op="${n}"]`)
        .getAttribute('points')
        .trim()
        .split(' ')
        .map((p) => p.split(',').map(Number));
    const keyOff = Number(box.querySelector('.key-off').getAttribute('x1'));
    // The grid lines at 0, -48 and -96 dB, top to bottom.
    const grid = [...box.querySelectorAll('line.grid')].map((l) => Number(l.getAttribute('y1'))).sort((a, b) => a - b);
    const result = { keyOff, grid, curves: [1, 2, 3, 4].map(points) };
    box.remove();
    return result;
  });
  const [ar31, ar12, rr15, rr10] = drawn.curves;
  const [top, middle] = drawn.grid;
  // Rises at once: at t = 0 the curve goes straight up to 0 dB.
  assert.equal(ar31[1][0], ar31[0][0]);
  assert.ok(Math.abs(ar31[1][1] - top) < 0.05);
  // A slow attack starts low and gets to 0 dB only later.
  assert.ok(ar12[1][1] > middle);
  assert.ok(ar12.find((p) => Math.abs(p[1] - top) < 0.05)[0] > ar31[1][0]);
  // After the key-off, the RR 15 curve is the first below -48 dB.
  const fallsPast = (curve) => (curve.find((p) => p[0] > drawn.keyOff && p[1] > middle) || [Infinity])[0];
  assert.ok(fallsPast(rr15) < fallsPast(rr10));
  assert.ok(fallsPast(rr15) < fallsPast(ar31));
  assert.ok(fallsPast(rr10) < Infinity);
});

test('no console errors', () => {
  assert.deepEqual(consoleErrors, []);
});
