// The audio preview in headless Chromium, opened from file:// with the demo
// harvested: a card's play button sounds its instrument at the right pitch, a
// held key holds the note, the computer keyboard and the arrow keys play and move along the
// keyboard, "Download WAV" saves the current note's preview.
//
// Environment: TIMBREX_SITE (the built site folder).
import test from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import puppeteer from 'puppeteer-core';
import * as Audio from '../src/preview_audio.js';

const repo = fileURLToPath(new URL('../..', import.meta.url));
const site = path.resolve(process.env.TIMBREX_SITE || path.join(repo, 'build-web', 'site'));
const demo = path.join(repo, 'examples', 'demo.vgz');
const WHOLE = Audio.HOLD_SAMPLES + Audio.RELEASE_SAMPLES;

let browser;
let page;
const consoleErrors = [];

test.before(async () => {
  browser = await puppeteer.launch({
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
      `--user-data-dir=${fs.mkdtempSync(path.join(os.tmpdir(), 'timbrex-preview-'))}`,
    ],
  });
  page = await browser.newPage();
  page.on('console', (m) => {
    if (m.type() === 'error') consoleErrors.push(m.text());
  });
  page.on('pageerror', (e) => consoleErrors.push(String(e)));
  await page.setViewport({ width: 1280, height: 900 });
  await page.goto(`file://${site}/index.html`);
  await (await page.$('#file-input')).uploadFile(demo);
  await page.waitForFunction(() => window.timbrexPage.state.finished, { timeout: 60000, polling: 100 });
});

test.after(async () => {
  if (browser) await browser.close();
});

// The fundamental of `count` samples from `from`, between 30 Hz and 2 kHz, as
// the native listening tests measure it: the shortest lag whose normalised
// autocorrelation comes near the strongest, refined over eight periods.
function fundamentalHz(x, from, count, rate) {
  const minLag = Math.floor(rate / 2000);
  const maxLag = Math.floor(rate / 30);
  const window = count - 8 * maxLag - 2;
  const r = (lag) => {
    let cross = 0;
    let early = 0;
    let late = 0;
    for (let i = from; i < from + window; i++) {
      cross += x[i] * x[i + lag];
      early += x[i] * x[i];
      late += x[i + lag] * x[i + lag];
    }
    return early > 0 && late > 0 ? cross / Math.sqrt(early * late) : 0;
  };
  const peak = (lag) => {
    const [a, b, c] = [r(lag - 1), r(lag), r(lag + 1)];
    const curve = a - 2 * b + c;
    return curve < 0 ? lag + (0.5 * (a - c)) / curve : lag;
  };
  const rs = [];
  for (let lag = 0; lag <= maxLag + 1; lag++) rs.push(lag >= minLag ? r(lag) : 0);
  const best = Math.max(...rs);
  for (let lag = minLag + 1; lag <= maxLag; lag++) {
    if (rs[lag] >= 0.9 * best && rs[lag] >= rs[lag - 1] && rs[lag] >= rs[lag + 1]) {
      let far = Math.round(peak(lag) * 8);
      for (let step = 0; step < 4; step++) {
        if (r(far + 1) > r(far)) far++;
        else if (r(far - 1) > r(far)) far--;
      }
      return (rate * 8) / peak(far);
    }
  }
  return 0;
}

// The page's worker renders the first card's voice at `note`: its left channel.
function renderInPage(note) {
  return page.evaluate(
    (n) =>
      new Promise((resolve) => {
        const worker = window.timbrexPage.state.worker;
        const id = `pitch${n}`;
        const listener = (event) => {
          if (event.data.type !== 'preview' || event.data.id !== id) return;
          worker.removeEventListener('message', listener);
          resolve(Array.from(event.data.samples.filter((_, i) => i % 2 === 0)));
        };
        worker.addEventListener('message', listener);
        worker.postMessage({
          type: 'preview',
          id,
          bytes: window.timbrexPage.state.instruments[0].bytes,
          note: n,
          hold: 44100,
          release: 22050,
        });
      }),
    note,
  );
}

const renders = () => page.evaluate(() => window.timbrexPage.preview.renders.map((r) => ({ ...r })));

test('every card has a play button, a two-octave keyboard and a WAV download', async () => {
  const cards = await page.$$eval('#cards .card', (list) =>
    list.map((card) => ({
      play: card.querySelectorAll('.preview button.play').length,
      wav: card.querySelectorAll('.preview button.wav').length,
      keys: [...card.querySelectorAll('.keyboard .key')].map((k) => k.getAttribute('aria-label')),
      tabStops: card.querySelectorAll('.keyboard .key[tabindex="0"]').length,
    })),
  );
  assert.equal(cards.length, 5);
  for (const card of cards) {
    assert.equal(card.play, 1);
    assert.equal(card.wav, 1);
    assert.equal(card.keys.length, 25);
    assert.equal(card.keys[0], 'C3 (key Z)');
    assert.equal(card.keys[24], 'C5 (key I)');
    assert.equal(card.tabStops, 1);
  }
});

test("a card's play button renders and plays its instrument", async () => {
  const before = (await renders()).length;
  await page.click('#cards .card:nth-child(1) .preview button.play');
  await page.waitForFunction(() => Number(document.querySelector('#cards .card .preview').dataset.previewSamples) > 0, {
    timeout: 20000,
    polling: 50,
  });
  const samples = await page.$eval('#cards .card .preview', (p) => Number(p.dataset.previewSamples));
  assert.equal(samples, WHOLE);
  const state = await page.evaluate(() => window.timbrexPage.preview.context.state);
  assert.notEqual(state, 'closed');
  // Not silence: the rendered samples of the piano at C4 have a level.
  const level = await page.evaluate(async () => {
    const file = window.timbrexPage.state.instruments[0];
    const id = 'level-check';
    return new Promise((resolve) => {
      const worker = window.timbrexPage.state.worker;
      const listener = (event) => {
        if (event.data.type !== 'preview' || event.data.id !== id) return;
        worker.removeEventListener('message', listener);
        let peak = 0;
        for (const s of event.data.samples) peak = Math.max(peak, Math.abs(s));
        resolve(peak);
      };
      worker.addEventListener('message', listener);
      worker.postMessage({ type: 'preview', id, bytes: file.bytes, note: 60, hold: 44100, release: 44100 });
    });
  });
  assert.ok(level > 1000, `peak ${level}`);
  assert.ok((await renders()).length > before);
});

test('the demo piano plays A4 at 440 Hz in the page, and A5 at twice that', async () => {
  const a4 = fundamentalHz(await renderInPage(69), 4410, 22050, Audio.SAMPLE_RATE);
  const a5 = fundamentalHz(await renderInPage(81), 4410, 22050, Audio.SAMPLE_RATE);
  console.log(`in the page: A4 at ${a4.toFixed(2)} Hz, A5 at ${a5.toFixed(2)} Hz`);
  assert.ok(Math.abs(a4 - 440) < 4.4, `A4 at ${a4} Hz`);
  assert.ok(Math.abs(a5 / a4 - 2) < 0.02, `A5 at ${a5} Hz`);
});

test('a key held from the computer keyboard holds the note until it is let go', async () => {
  await page.focus('#cards .card:nth-child(1) .keyboard .key[tabindex="0"]');
  const before = (await renders()).length;
  await page.keyboard.down('y'); // A4
  await page.waitForFunction((n) => window.timbrexPage.preview.renders.length > n, { timeout: 20000 }, before);
  await new Promise((resolve) => setTimeout(resolve, 300));
  await page.keyboard.up('y');
  await page.waitForFunction((n) => window.timbrexPage.preview.renders.length > n + 1, { timeout: 20000 }, before);
  const [whole, cut] = (await renders()).slice(before);
  assert.equal(whole.frames, WHOLE);
  // Let go after about 0.3 s: the key-off comes then, not at the full hold.
  assert.ok(cut.frames > Audio.RELEASE_SAMPLES + 0.25 * Audio.SAMPLE_RATE, `${cut.frames} frames`);
  assert.ok(cut.frames < Audio.RELEASE_SAMPLES + 0.8 * Audio.SAMPLE_RATE, `${cut.frames} frames`);
  const play = await page.$eval('#cards .card:nth-child(1) .preview button.play', (b) => b.textContent);
  assert.equal(play, '▶ Play A4');
});

test('the arrow keys move along the keyboard and Enter plays the key in focus', async () => {
  await page.focus('#cards .card:nth-child(2) .keyboard .key[tabindex="0"]');
  await page.keyboard.press('ArrowRight');
  await page.keyboard.press('ArrowRight');
  const focused = await page.evaluate(() => document.activeElement.getAttribute('aria-label'));
  assert.equal(focused, 'D4 (key W)');
  await page.keyboard.press('Enter');
  await page.waitForFunction(() =>
    /D4$/.test(document.querySelector('#cards .card:nth-child(2) .preview button.play').textContent),
  );
});

test('Download WAV saves the preview of the current note', async () => {
  await page.evaluate(() => {
    window.timbrexPage.saveBlob = (bytes, name, type) => {
      window.savedWav = { size: bytes.length, name, type, head: [...bytes.subarray(0, 12)] };
    };
  });
  await page.click('#cards .card:nth-child(1) .preview button.wav');
  await page.waitForFunction(() => window.savedWav, { timeout: 20000 });
  const saved = await page.evaluate(() => window.savedWav);
  assert.equal(saved.name, 'demo_0-A4.wav');
  assert.equal(saved.type, 'audio/wav');
  assert.equal(saved.size, 44 + WHOLE * 4);
  assert.equal(String.fromCharCode(...saved.head.slice(0, 4)), 'RIFF');
  assert.equal(String.fromCharCode(...saved.head.slice(8, 12)), 'WAVE');
});

test('render time of a 2 s preview in the page (a figure, not a limit)', async () => {
  // Ten renders of the demo's piano at A4 straight from the worker, after
  // the ones above have warmed it up.
  const times = await page.evaluate(
    () =>
      new Promise((resolve) => {
        const worker = window.timbrexPage.state.worker;
        const bytes = window.timbrexPage.state.instruments[0].bytes;
        const got = [];
        const listener = (event) => {
          if (event.data.type !== 'preview' || !String(event.data.id).startsWith('timing')) return;
          got.push(event.data.renderMs);
          if (got.length === 10) {
            worker.removeEventListener('message', listener);
            resolve(got);
          }
        };
        worker.addEventListener('message', listener);
        for (let i = 0; i < 10; i++)
          worker.postMessage({ type: 'preview', id: `timing${i}`, bytes, note: 69, hold: 44100, release: 44100 });
      }),
  );
  times.sort((a, b) => a - b);
  console.log(
    `preview render in the page: 10 renders of 2 s, median ${times[5].toFixed(1)} ms, ` +
      `fastest ${times[0].toFixed(1)} ms, slowest ${times[9].toFixed(1)} ms`,
  );
  assert.equal(times.length, 10);
});

test('no console errors', () => {
  assert.deepEqual(consoleErrors, []);
});
