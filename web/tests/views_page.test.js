// The page at archive scale, in headless Chromium from file://: the main
// thread never busy for long, the page's size bounded by what is on screen
// whatever is scrolled, no horizontal scroll on a phone with the longest
// paths, everything reachable from the keyboard, and the words it uses.
//
// Environment as for page.test.js: TIMBREX_SITE, TIMBREX_CLI. The real-log
// folders are looked for at ../shared from the repository and skipped when
// absent.
import test from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';
import { fileURLToPath } from 'node:url';
import { execFileSync } from 'node:child_process';
import { launchChromium } from './browser.js';

const repo = fileURLToPath(new URL('../..', import.meta.url));
const site = path.resolve(process.env.TIMBREX_SITE || path.join(repo, 'build-web', 'site'));
const cli = path.resolve(process.env.TIMBREX_CLI || path.join(repo, 'build', 'src', 'timbrex'));
const shared = path.join(repo, '..', 'shared');
const demo = path.join(repo, 'examples', 'demo.vgz');

let browser;
let page;
const consoleErrors = [];
const temporary = [];

function tempDir() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'timbrex-views-'));
  temporary.push(dir);
  return dir;
}

test.before(async () => {
  browser = await launchChromium();
});

test.after(async () => {
  if (browser) await browser.close();
  for (const dir of temporary) fs.rmSync(dir, { recursive: true, force: true });
});

// Opens the page with a long-task observer running from the start.
async function openPage(width = 1280, height = 900) {
  if (page) await page.close();
  page = await browser.newPage();
  page.on('console', (m) => {
    if (m.type() === 'error') consoleErrors.push(m.text());
  });
  page.on('pageerror', (e) => consoleErrors.push(String(e)));
  await page.setViewport({ width, height });
  await page.goto(`file://${site}/index.html`);
  await page.evaluate(() => {
    window.longTasks = [];
    new PerformanceObserver((list) => {
      for (const entry of list.getEntries()) window.longTasks.push(Math.round(entry.duration));
    }).observe({ type: 'longtask' });
  });
}

async function harvestFolder(folder, timeout = 600000) {
  const input = await page.$('#folder-input');
  await input.uploadFile(folder);
  await page.waitForFunction(() => window.timbrexPage.state.finished, { timeout, polling: 200 });
}

async function harvestFiles(files) {
  const input = await page.$('#file-input');
  await input.uploadFile(...files);
  await page.waitForFunction(() => window.timbrexPage.state.finished, { timeout: 120000, polling: 100 });
}

const frames = (n = 2) =>
  page.evaluate(
    (count) =>
      new Promise((resolve) => {
        const step = (left) => (left ? requestAnimationFrame(() => step(left - 1)) : resolve());
        step(count);
      }),
    n,
  );

const domSize = () => page.evaluate(() => document.getElementsByTagName('*').length);

async function chooseView(name) {
  await page.click(`#view-${name}`);
  await frames();
}

// Scrolls from the top of the page to its bottom a view at a time; returns
// the most elements the page had at any step and what the last step showed.
async function scrollThrough() {
  await page.evaluate(() => window.scrollTo(0, 0));
  await frames();
  let most = await domSize();
  for (let step = 0; step < 2000; ++step) {
    const atEnd = await page.evaluate(() => {
      const before = window.scrollY;
      window.scrollBy(0, window.innerHeight);
      return window.scrollY === before;
    });
    await frames();
    most = Math.max(most, await domSize());
    if (atEnd) break;
  }
  const last = await page.evaluate(() => {
    const groups = (selector, read) => [...document.querySelectorAll(selector)].map(read);
    return {
      shown: window.timbrexPage.state.shown.map((i) => i.group),
      cards: groups('#cards .card', (c) => Number(c.dataset.group)),
      rows: groups('#list-rows button.open', (b) => Number(b.dataset.group)),
    };
  });
  return { most, last };
}

// The instruments in view at the end are the end of the shown list, in its order.
function assertEndsWith(rendered, shown, what) {
  assert.ok(rendered.length > 0, `no ${what} at the bottom`);
  assert.deepEqual(rendered, shown.slice(shown.length - rendered.length), `${what} at the bottom`);
}

const realLogs = path.join(shared, 'real-logs');
// What is on screen in `view` and the whole shown order behind it.
const onScreen = (view) =>
  page.evaluate((listed) => {
    const groups = (selector, read) => [...document.querySelectorAll(selector)].map(read);
    return {
      shown: window.timbrexPage.state.shown.map((i) => `${i.fileName}\n${i.source}`.toLowerCase()),
      order: window.timbrexPage.state.shown.map((i) => i.group),
      total: window.timbrexPage.state.instruments.length,
      drawn: listed
        ? groups('#list-rows button.open', (b) => Number(b.dataset.group))
        : groups('#cards .card', (c) => Number(c.dataset.group)),
    };
  }, view === 'list');

// The main thread's long tasks are recorded and printed here; their bound is
// the browser benchmark's (tools/web/bench), as a figure of a loaded machine
// is no test's business.
test(
  'real-logs: every sort, the text filter and a full scroll show the shown order from its top, in both views',
  { skip: !fs.existsSync(realLogs) && `${realLogs} is absent`, timeout: 600000 },
  async () => {
    await openPage();
    await harvestFolder(realLogs);
    await frames();
    for (const view of ['list', 'cards']) {
      await chooseView(view);
      for (const sort of ['source', 'alg', 'fb', 'carriers', 'chip', 'heard', 'count', 'group']) {
        await page.select('#sort', sort);
        await frames();
        const seen = await onScreen(view);
        assert.equal(seen.order.length, seen.total, `${view} ${sort}: every instrument shown`);
        assert.ok(seen.drawn.length > 0, `${view} ${sort}: nothing drawn`);
        assert.deepEqual(seen.drawn, seen.order.slice(0, seen.drawn.length), `${view} ${sort}`);
      }
      await page.type('#filter-text', 'boss');
      await frames();
      const found = await onScreen(view);
      assert.ok(found.shown.length > 0 && found.shown.length < found.total, `${found.shown.length} found`);
      assert.ok(found.shown.every((text) => text.includes('boss')));
      await page.$eval('#filter-text', (e) => {
        e.value = '';
        e.dispatchEvent(new Event('input'));
      });
      const { last } = await scrollThrough();
      assertEndsWith(view === 'cards' ? last.cards : last.rows, last.shown, view);
    }
    // Back at the top, the drawn cards that come back into the page are whole again.
    const back = await page.evaluate(async () => {
      window.scrollTo(0, 0);
      const frame = () => new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve)));
      for (let i = 0; i < 200 && document.querySelector('#cards .card.pending'); ++i) await frame();
      const cards = [...document.querySelectorAll('#cards .card')];
      const whole = cards.filter((card) => card.querySelector('.drawings')?.getClientRects().length > 0);
      return { cards: cards.length, whole: whole.length };
    });
    assert.ok(back.cards > 0, 'no cards at the top');
    assert.equal(back.whole, back.cards, 'cards drawn whole at the top');
    const tasks = await page.evaluate(() => window.longTasks);
    console.log(`real-logs: main-thread tasks over 50 ms: ${JSON.stringify(tasks)}`);
  },
);

// Headless Chromium now and then stops making frames for good while
// bench-logs' cards are scrolled a screen at a time, once in five to ten
// scroll-throughs: no animation frame ever comes again, not for a wheel or
// a screenshot either, while the page's compositor thread, the display
// compositor and the worker sit idle with their work done. A script that
// scrolls then waits forever inside scrollTo for a compositor commit, and
// answers no protocol call. The stop fails a protocol call as "timed out";
// the body then runs once more in a fresh page, so that only a second stop
// in a row fails.
async function onceMoreIfTheBrowserStops(body) {
  try {
    await body();
  } catch (error) {
    if (!/timed out/.test(String(error && error.message))) throw error;
    console.log(`the browser stopped answering (${error.message}); once more in a fresh page`);
    await body();
  }
}

const benchLogs = path.join(shared, 'bench-logs');
test(
  'bench-logs: the page holds what is near the view, not every instrument, wherever it is scrolled',
  { skip: !fs.existsSync(benchLogs) && `${benchLogs} is absent`, timeout: 900000 },
  () =>
    onceMoreIfTheBrowserStops(async () => {
      await openPage();
      await harvestFolder(benchLogs, 800000);
      const instruments = await page.evaluate(() => window.timbrexPage.state.instruments.length);
      assert.ok(instruments > 1000, `${instruments} instruments`);
      for (const view of ['cards', 'list']) {
        await chooseView(view);
        const { most, last } = await scrollThrough();
        console.log(`bench-logs, ${view}: at most ${most} elements in the page for ${instruments} instruments`);
        assert.ok(most <= 20000, `${most} elements`);
        assert.equal(last.shown.length, instruments);
        assertEndsWith(view === 'cards' ? last.cards : last.rows, last.shown, view);
      }
      // The text filter: every instrument whose name or source holds the text, and none other.
      const query = await page.evaluate(() => window.timbrexPage.state.instruments[700].fileName.slice(0, 6));
      await page.type('#filter-text', query);
      const found = await page.evaluate((q) => {
        const wanted = window.timbrexPage.state.instruments
          .filter((i) => `${i.fileName}\n${i.source}`.toLowerCase().includes(q.toLowerCase()))
          .map((i) => i.group);
        return { wanted, shown: window.timbrexPage.state.shown.map((i) => i.group) };
      }, query);
      assert.ok(found.wanted.length > 0);
      assert.deepEqual(found.shown, found.wanted);
    }),
);

// The longest path of bench-logs (or one as long), with the demo log in it.
function longestPath() {
  let longest = 'Misael-art+SGDK-Forge/SGDK_Engines/'.padEnd(160, 'x') + '/res/sound/sonic2Emerald.vgm';
  if (fs.existsSync(benchLogs)) {
    const walk = (dir) => {
      for (const entry of fs.readdirSync(path.join(benchLogs, dir), { withFileTypes: true })) {
        const relative = dir ? `${dir}/${entry.name}` : entry.name;
        if (entry.isDirectory()) walk(relative);
        else if (relative.length > longest.length) longest = relative;
      }
    };
    walk('');
  }
  return longest;
}

test('no horizontal scroll at 360 px with the longest path in every list and view', async () => {
  const root = tempDir();
  const relative = longestPath();
  const file = path.join(root, 'bench', relative.replace(/\.vg[mz]$/, '.vgz'));
  fs.mkdirSync(path.dirname(file), { recursive: true });
  fs.copyFileSync(demo, file);
  await openPage(360, 740);
  await harvestFolder(path.join(root, 'bench'));
  const source = await page.evaluate(() => window.timbrexPage.state.instruments[0].source);
  assert.ok(source.length >= relative.length, source);
  for (const view of ['list', 'cards']) {
    await chooseView(view);
    await page.evaluate(() => window.scrollTo(0, document.documentElement.scrollHeight));
    await frames();
    const width = await page.evaluate(() => document.documentElement.scrollWidth);
    assert.ok(width <= 360, `the ${view} view is ${width} px wide at 360 px`);
  }
  // And the card opened from a row.
  await chooseView('list');
  await page.click('#list-rows button.open');
  await frames();
  const dialog = await page.evaluate(() => {
    const box = document.getElementById('card-dialog').getBoundingClientRect();
    return { left: box.left, right: box.right, page: document.documentElement.scrollWidth };
  });
  assert.ok(dialog.left >= 0 && dialog.right <= 360 && dialog.page <= 360, JSON.stringify(dialog));
});

// A log of one voice played once: the harvest finds one instrument.
function oneVoiceLog() {
  const commands = [];
  const write = (reg, value) => commands.push(0x52, reg, value);
  for (let slot = 0; slot < 4; ++slot) {
    const at = slot * 4;
    write(0x30 + at, 0x01);
    write(0x40 + at, slot === 3 ? 0 : 30);
    write(0x50 + at, 0x1f);
    write(0x60 + at, 5);
    write(0x70 + at, 2);
    write(0x80 + at, 0x27);
    write(0x90 + at, 0);
  }
  write(0xb0, 0x3a);
  write(0xb4, 0xc0);
  write(0x28, 0xf0);
  commands.push(0x61, 0x44, 0xac, 0x66);
  const header = Buffer.alloc(0x40);
  header.write('Vgm ', 0, 'latin1');
  header.writeUInt32LE(0x150, 0x08);
  header.writeUInt32LE(7670453, 0x2c);
  header.writeUInt32LE(0x0c, 0x34);
  const log = Buffer.concat([header, Buffer.from(commands)]);
  log.writeUInt32LE(log.length - 4, 0x04);
  return zlib.gzipSync(log);
}

test('one instrument is "1 instrument"; the labels say what is happening; ids are unique', async () => {
  const dir = tempDir();
  const log = path.join(dir, 'one voice.vgz');
  fs.writeFileSync(log, oneVoiceLog());
  const cliDir = tempDir();
  execFileSync(cli, [log], { cwd: cliDir });
  assert.equal(fs.readdirSync(cliDir).length, 1);
  await openPage();
  await harvestFiles([log]);
  const words = await page.evaluate(() => ({
    progress: document.getElementById('progress-text').textContent,
    label: document.getElementById('progress-label').textContent,
    shown: document.getElementById('shown-count').textContent,
    cancel: document.getElementById('cancel').hidden,
  }));
  assert.deepEqual(words, {
    progress: '1 of 1 logs read; 1 instrument.',
    label: 'Finished',
    shown: '1 of 1 instrument shown.',
    cancel: true,
  });
  // Both views and a card opened from the list: no id twice.
  const duplicates = () =>
    page.evaluate(() => {
      const ids = [...document.querySelectorAll('[id]')].map((e) => e.id);
      return ids.filter((id, i) => ids.indexOf(id) !== i);
    });
  await openPage();
  await harvestFiles([demo]);
  assert.deepEqual(await duplicates(), []);
  await chooseView('list');
  await page.click('#list-rows button.open');
  assert.deepEqual(await duplicates(), []);
});

test('Cancel stops a harvest in progress and leaves the page usable', async () => {
  // Enough copies of the demo that the harvest is still running when Cancel is pressed.
  const dir = tempDir();
  for (let i = 0; i < 400; ++i) fs.copyFileSync(demo, path.join(dir, `copy ${String(i).padStart(3, '0')}.vgz`));
  await openPage();
  const input = await page.$('#folder-input');
  await input.uploadFile(dir);
  // Pressed as soon as it shows: the worker reads the logs ahead before its first line, and then
  // harvests 400 small logs faster than a wait for that line and a click take.
  await page.waitForFunction(() => !document.getElementById('cancel').hidden, { timeout: 120000, polling: 20 });
  await page.click('#cancel');
  const after = await page.evaluate(() => ({
    label: document.getElementById('progress-label').textContent,
    text: document.getElementById('progress-text').textContent,
    cancel: document.getElementById('cancel').hidden,
    finished: window.timbrexPage.state.finished,
  }));
  assert.equal(after.label, 'Cancelled');
  assert.match(after.text, /^Cancelled after \d+ of 400 logs; nothing was kept\./);
  assert.equal(after.cancel, true);
  assert.equal(after.finished, false);
  // Nothing more arrives from the stopped harvest, and a new one runs to its end.
  const lines = await page.evaluate(() => window.timbrexPage.state.lines.length);
  await new Promise((resolve) => setTimeout(resolve, 500));
  assert.equal(await page.evaluate(() => window.timbrexPage.state.lines.length), lines);
  await harvestFiles([demo]);
  assert.equal(await page.evaluate(() => window.timbrexPage.state.instruments.length), 5);
});

// Every visible border against what is behind it, and every text against its
// background, as WCAG computes contrast; returns what falls short.
function lowContrast() {
  const rgb = (color) => (color.match(/[\d.]+/g) || []).map(Number);
  const luminance = ([r, g, b]) => {
    const channel = (c) => (c / 255 <= 0.03928 ? c / 255 / 12.92 : ((c / 255 + 0.055) / 1.055) ** 2.4);
    return 0.2126 * channel(r) + 0.7152 * channel(g) + 0.0722 * channel(b);
  };
  const ratio = (a, b) => {
    const [light, dark] = [luminance(a), luminance(b)].sort((x, y) => y - x);
    return (light + 0.05) / (dark + 0.05);
  };
  // The first opaque background at or above an element.
  const behind = (element) => {
    for (let e = element; e; e = e.parentElement) {
      const color = rgb(getComputedStyle(e).backgroundColor);
      if (color.length === 3 || color[3] > 0) return color.slice(0, 3);
    }
    return [255, 255, 255];
  };
  const faults = [];
  for (const e of document.querySelectorAll('body *')) {
    if (e.closest('svg') || e.getClientRects().length === 0) continue;
    const style = getComputedStyle(e);
    if (style.visibility === 'hidden' || e.closest('.visually-hidden')) continue;
    const name = `${e.tagName.toLowerCase()}${e.id ? '#' + e.id : ''}.${e.className}`;
    if (parseFloat(style.borderTopWidth) > 0 && style.borderTopStyle !== 'none') {
      const r = ratio(rgb(style.borderTopColor), behind(e.parentElement));
      if (r < 3) faults.push(`${name} border ${r.toFixed(2)}:1`);
    }
    const text = [...e.childNodes].some((n) => n.nodeType === 3 && n.textContent.trim());
    if (text && !e.disabled) {
      const r = ratio(rgb(style.color), behind(e));
      if (r < 4.5) faults.push(`${name} text ${r.toFixed(2)}:1`);
    }
  }
  return faults;
}

test('every border is at 3:1 and every text at 4.5:1 against its background, in both views and a card', async () => {
  await openPage();
  await harvestFiles([demo]);
  assert.deepEqual(await page.evaluate(lowContrast), [], 'cards view');
  await chooseView('list');
  assert.deepEqual(await page.evaluate(lowContrast), [], 'list view');
  await page.click('#list-rows button.open');
  assert.deepEqual(await page.evaluate(lowContrast), [], 'a card opened from the list');
});

// Presses Tab until `matches(activeElement)` holds; fails after `most` presses.
async function tabTo(description, matches, most = 80) {
  for (let i = 0; i < most; ++i) {
    await page.keyboard.press('Tab');
    if (await page.evaluate(matches)) return;
  }
  assert.fail(`Tab never reached ${description}`);
}

test('the keyboard alone reaches the list, a card, its play button and the downloads', async () => {
  await openPage();
  await harvestFiles([demo]);
  await page.evaluate(() => {
    window.saved = [];
    window.timbrexPage.saveBlob = (bytes, name) => window.saved.push(name);
    document.activeElement.blur();
    window.scrollTo(0, 0);
  });
  // From the top: the skip link to the instruments, then the view switch to the list.
  await page.keyboard.press('Tab');
  assert.equal(await page.evaluate(() => document.activeElement.textContent), 'Skip to the instruments');
  await page.keyboard.press('Enter');
  assert.equal(await page.evaluate(() => document.activeElement.id), 'results-heading');
  await tabTo('the view switch', () => document.activeElement.name === 'view');
  await page.keyboard.press('ArrowUp');
  await frames();
  assert.equal(await page.evaluate(() => window.timbrexPage.state.view), 'list');
  // A column header sorts; the first row's file name opens its card.
  await tabTo('the first row', () => document.activeElement.matches('#list-rows button.open'));
  await page.keyboard.press('ArrowDown');
  await page.keyboard.press('ArrowDown');
  const third = await page.evaluate(() => document.activeElement.textContent);
  assert.equal(third, await page.evaluate(() => window.timbrexPage.state.shown[2].fileName));
  await page.keyboard.press('Enter');
  assert.ok(await page.evaluate(() => document.getElementById('card-dialog').open));
  await tabTo('the play button', () => document.activeElement.matches('#card-dialog .preview button.play'));
  const renders = await page.evaluate(() => window.timbrexPage.preview.renders.length);
  await page.keyboard.press('Enter');
  await page.waitForFunction((n) => window.timbrexPage.preview.renders.length > n, { timeout: 20000 }, renders);
  await tabTo('the download of the file', () => /^Download .*\.vpf$/.test(document.activeElement.ariaLabel || ''));
  await page.keyboard.press('Enter');
  await page.keyboard.press('Escape');
  assert.ok(!(await page.evaluate(() => document.getElementById('card-dialog').open)));
  assert.equal(await page.evaluate(() => document.activeElement.textContent), third);
  // From the list, the skip link to the download, and the download.
  await page.keyboard.down('Shift');
  await tabTo('the skip link to the download', () => /download/.test(document.activeElement.textContent));
  await page.keyboard.up('Shift');
  await page.keyboard.press('Enter');
  assert.equal(await page.evaluate(() => document.activeElement.id), 'download-all');
  await page.keyboard.press('Enter');
  assert.deepEqual(await page.evaluate(() => window.saved), [third, 'timbrex-instruments.zip']);
});

test('no console errors', () => {
  assert.deepEqual(consoleErrors, []);
});
