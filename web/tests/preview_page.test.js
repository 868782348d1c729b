// The audio preview in headless Chromium, opened from file:// with the demo
// harvested: a card's play button sounds its instrument at the right pitch,
// every preview ends below -60 dBFS at exactly zero, a held key holds the
// note, the keys are named after their notes, the computer keyboard and the
// arrow keys play and move along the keyboard and '-' and '=' shift it, a
// focused key hides no other, loudness can be matched, "Download WAV" saves
// the current note's preview. "Play in song" plays the demo from 1 s before
// an instrument's key-on, "Solo" its channel alone, a YM2151 card says why
// it cannot, and a log that can no longer be read turns the buttons off.
//
// Environment: TIMBREX_SITE (the built site folder), TIMBREX_SCREENSHOTS (where
// the screenshot of a focused key goes).
import test from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { clickSettled, launchChromium } from './browser.js';
import * as Audio from '../src/preview_audio.js';

const repo = fileURLToPath(new URL('../..', import.meta.url));
const site = path.resolve(process.env.TIMBREX_SITE || path.join(repo, 'build-web', 'site'));
const demo = path.join(repo, 'examples', 'demo.vgz');
const screenshots = path.resolve(process.env.TIMBREX_SCREENSHOTS || path.join(repo, 'build-web', 'screenshots'));
// -60 dBFS: 32768 * 10^(-60 / 20) = 32.77, so 32 is the loudest sample below it.
const MINUS_60_DBFS = 32;
const TEN_MS = 441;

let browser;
let page;
const consoleErrors = [];

test.before(async () => {
  browser = await launchChromium();
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

// Of interleaved stereo samples: the frame count, the loudest sample of the
// last 10 ms and the last frame.
function tail(samples) {
  const frames = samples.length / 2;
  let loudest = 0;
  for (let i = samples.length - 2 * TEN_MS; i < samples.length; i++) loudest = Math.max(loudest, Math.abs(samples[i]));
  return { frames, loudest, last: [samples[samples.length - 2], samples[samples.length - 1]] };
}

// The worker renders instrument `index` at `note` as the page asks for a
// whole preview; the samples, as an array.
function renderWhole(index, note, match) {
  return page.evaluate(
    (i, n, m, hold, release) =>
      new Promise((resolve) => {
        const worker = window.timbrexPage.state.worker;
        const id = `whole-${i}-${n}-${m}`;
        const listener = (event) => {
          if (event.data.type !== 'preview' || event.data.id !== id) return;
          worker.removeEventListener('message', listener);
          resolve(Array.from(event.data.samples));
        };
        worker.addEventListener('message', listener);
        const bytes = window.timbrexPage.state.instruments[i].bytes;
        worker.postMessage({ type: 'preview', id, bytes, note: n, hold, release, match: m });
      }),
    index,
    note,
    match,
    Audio.HOLD_SAMPLES,
    Audio.RELEASE_SAMPLES,
  );
}

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
  // The keys show their notes' names; the one Tab reaches first is A4, the
  // note the card plays first and draws its envelopes for.
  const names = await page.$$eval('#cards .card:nth-child(1) .keyboard .key', (keys) =>
    keys.map((k) => k.textContent.replace('\u200b', '')),
  );
  assert.deepEqual(
    names,
    Audio.keyboardNotes().map((n) => n.name),
  );
  const first = await page.$eval('#cards .card:nth-child(1) .keyboard .key[tabindex="0"]', (k) => k.textContent);
  assert.equal(first, 'A4');
  const play = await page.$eval('#cards .card:nth-child(1) .preview button.play', (b) => b.textContent);
  assert.equal(play, '▶ Play A4');
  const footer = await page.$eval('footer', (f) => f.textContent);
  assert.match(footer, /drawn for the note A4/);
});

test("a card's play button renders and plays its instrument", async () => {
  const before = (await renders()).length;
  await page.click('#cards .card:nth-child(1) .preview button.play');
  await page.waitForFunction(() => Number(document.querySelector('#cards .card .preview').dataset.previewSamples) > 0, {
    timeout: 20000,
    polling: 50,
  });
  const samples = await page.$eval('#cards .card .preview', (p) => Number(p.dataset.previewSamples));
  assert.ok(samples > Audio.HOLD_SAMPLES && samples <= Audio.MAX_PREVIEW_SAMPLES, `${samples} frames`);
  // What was played ends below -60 dBFS, at zero.
  const played = await page.evaluate(async () => {
    const rendered = await [...window.timbrexPage.preview.cache.values()].pop();
    return Array.from(rendered.samples);
  });
  const end = tail(played);
  assert.equal(end.frames, samples);
  assert.ok(end.loudest <= MINUS_60_DBFS, `the last 10 ms reach ${end.loudest}`);
  assert.deepEqual(end.last, [0, 0]);
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

test("every demo instrument's preview ends below -60 dBFS at exactly zero, within 4 s", async () => {
  const count = await page.evaluate(() => window.timbrexPage.state.instruments.length);
  for (let i = 0; i < count; i++) {
    for (const note of [48, 69, 72]) {
      const end = tail(await renderWhole(i, note, false));
      const what = `instrument ${i} at ${Audio.noteName(note)}`;
      assert.ok(end.frames > Audio.HOLD_SAMPLES && end.frames <= Audio.MAX_PREVIEW_SAMPLES, `${what}: ${end.frames}`);
      assert.ok(end.loudest <= MINUS_60_DBFS, `${what}: the last 10 ms reach ${end.loudest}`);
      assert.deepEqual(end.last, [0, 0], what);
    }
  }
});

test('"Match loudness" brings every preview to one level, and still ends them at zero', async () => {
  const heldDb = (samples) => {
    let sum = 0;
    let peak = 0;
    for (let i = 0; i < 2 * Audio.SAMPLE_RATE; i++) {
      sum += samples[i] * samples[i];
      peak = Math.max(peak, Math.abs(samples[i]));
    }
    return { db: 20 * Math.log10(Math.sqrt(sum / (2 * Audio.SAMPLE_RATE)) / 32768), peak };
  };
  const count = await page.evaluate(() => window.timbrexPage.state.instruments.length);
  const plain = [];
  for (let i = 0; i < count; i++) {
    plain.push(heldDb(await renderWhole(i, 69, false)).db);
    const matched = await renderWhole(i, 69, true);
    const level = heldDb(matched);
    // -20 dBFS, unless that would clip: then as loud as it goes without.
    assert.ok(Math.abs(level.db + 20) < 0.5 || level.peak >= 32000, `instrument ${i}: ${JSON.stringify(level)}`);
    const end = tail(matched);
    assert.ok(end.loudest <= MINUS_60_DBFS && end.last[0] === 0 && end.last[1] === 0, `instrument ${i}`);
  }
  console.log(`held A4 levels, as played: ${plain.map((db) => db.toFixed(1)).join(', ')} dBFS`);
  // The switch is what the page's renders follow.
  await page.click('#match-loudness');
  await page.click('#cards .card:nth-child(3) .preview button.play');
  await page.waitForFunction(() => window.timbrexPage.preview.renders.some((r) => r.match), { timeout: 20000 });
  await page.click('#match-loudness');
});

test('a key held from the computer keyboard holds the note until it is let go', async () => {
  await page.focus('#cards .card:nth-child(1) .keyboard .key[tabindex="0"]');
  const before = (await renders()).length;
  await page.keyboard.down('t'); // G4, not played before, so rendered now
  await page.waitForFunction((n) => window.timbrexPage.preview.renders.length > n, { timeout: 20000 }, before);
  await new Promise((resolve) => setTimeout(resolve, 300));
  await page.keyboard.up('t');
  await page.waitForFunction((n) => window.timbrexPage.preview.renders.length > n + 1, { timeout: 20000 }, before);
  const [whole, cut] = (await renders()).slice(before);
  assert.equal(whole.hold, Audio.HOLD_SAMPLES);
  assert.ok(whole.frames > Audio.HOLD_SAMPLES && whole.frames <= Audio.MAX_PREVIEW_SAMPLES, `${whole.frames} frames`);
  // Let go after about 0.3 s: the key-off comes then, not at the full hold.
  assert.equal(cut.note, 67);
  assert.ok(cut.hold > 0.25 * Audio.SAMPLE_RATE && cut.hold < 0.8 * Audio.SAMPLE_RATE, `held ${cut.hold} frames`);
  assert.ok(cut.frames > cut.hold && cut.frames <= Audio.MAX_PREVIEW_SAMPLES, `${cut.frames} frames`);
  const play = await page.$eval('#cards .card:nth-child(1) .preview button.play', (b) => b.textContent);
  assert.equal(play, '▶ Play G4');
});

test('the arrow keys move along the keyboard and Enter plays the key in focus', async () => {
  await page.focus('#cards .card:nth-child(2) .keyboard .key[tabindex="0"]');
  await page.keyboard.press('ArrowRight');
  await page.keyboard.press('ArrowRight');
  const focused = await page.evaluate(() => document.activeElement.getAttribute('aria-label'));
  assert.equal(focused, 'B4 (key U)');
  await page.keyboard.press('Enter');
  await page.waitForFunction(() =>
    /B4$/.test(document.querySelector('#cards .card:nth-child(2) .preview button.play').textContent),
  );
});

test('a focused white key leaves its black neighbours in sight', async () => {
  // From A4 down to D4 by the arrow keys, so that the focus ring shows.
  const start = '#cards .card:nth-child(2) .keyboard .key[tabindex="0"]';
  await page.focus(start);
  const from = await page.$eval(start, (k) => Number(k.dataset.note));
  for (let i = 0; i < Math.abs(from - 62); i++) await page.keyboard.press(from > 62 ? 'ArrowLeft' : 'ArrowRight');
  const seen = await page.evaluate(() => {
    const focused = document.activeElement;
    const hit = (k) => {
      const box = k.getBoundingClientRect();
      return document.elementFromPoint(box.left + box.width / 2, box.top + box.height / 2) === k;
    };
    return {
      name: focused.textContent,
      ring: focused.matches(':focus-visible'),
      neighbours: [focused.previousElementSibling, focused.nextElementSibling].map((k) => [
        k.textContent.replace('\u200b', ''),
        hit(k),
      ]),
    };
  });
  assert.equal(seen.name, 'D4');
  assert.ok(seen.ring);
  assert.deepEqual(seen.neighbours, [
    ['C#4', true],
    ['D#4', true],
  ]);
  fs.mkdirSync(screenshots, { recursive: true });
  await page.screenshot({ path: path.join(screenshots, 'preview-focused-key.png') });
});

test("'=' and '-' shift the keyboard by octaves, its names and computer keys with it", async () => {
  const card = '#cards .card:nth-child(4)';
  await page.focus(`${card} .keyboard .key[tabindex="0"]`);
  await page.keyboard.press('Equal');
  const names = () =>
    page.$$eval(`${card} .keyboard .key`, (keys) => [keys[0], keys[24]].map((k) => k.getAttribute('aria-label')));
  assert.deepEqual(await names(), ['C4 (key Z)', 'C6 (key I)']);
  await page.keyboard.down('y');
  await page.keyboard.up('y');
  await page.waitForFunction(
    (c) => /A5$/.test(document.querySelector(`${c} .preview button.play`).textContent),
    {},
    card,
  );
  await page.keyboard.press('Minus');
  await page.keyboard.press('Minus');
  assert.deepEqual(await names(), ['C2 (key Z)', 'C4 (key I)']);
  const keyboardName = await page.$eval(`${card} .keyboard`, (k) => k.getAttribute('aria-label'));
  assert.match(keyboardName, /^Keyboard C2 to C4 /);
  // The on-screen buttons do the same.
  await page.click(`${card} .preview button.octave-up`);
  assert.deepEqual(await names(), ['C3 (key Z)', 'C5 (key I)']);
});

test('Download WAV saves the preview of the current note', async () => {
  await page.evaluate(() => {
    window.timbrexPage.saveBlob = (bytes, name, type) => {
      const data = new Int16Array(bytes.slice(44).buffer);
      window.savedWav = { size: bytes.length, name, type, head: [...bytes.subarray(0, 12)], data: [...data] };
    };
  });
  await clickSettled(page, '#cards .card:nth-child(1) .preview button.wav');
  await page.waitForFunction(() => window.savedWav, { timeout: 20000 });
  const saved = await page.evaluate(() => window.savedWav);
  assert.equal(saved.name, 'demo_0-G4.wav');
  assert.equal(saved.type, 'audio/wav');
  const end = tail(saved.data);
  assert.equal(saved.size, 44 + end.frames * 4);
  assert.ok(end.frames > Audio.HOLD_SAMPLES && end.frames <= Audio.MAX_PREVIEW_SAMPLES, `${end.frames} frames`);
  assert.ok(end.loudest <= MINUS_60_DBFS, `the WAV's last 10 ms reach ${end.loudest}`);
  assert.deepEqual(end.last, [0, 0]);
  assert.equal(String.fromCharCode(...saved.head.slice(0, 4)), 'RIFF');
  assert.equal(String.fromCharCode(...saved.head.slice(8, 12)), 'WAVE');
});

// Of the song tests: the left and right channels' mean, the RMS of `seconds`
// from `from` seconds on, and the first frame above -60 dBFS.
const monoOf = (stereo) => stereo.filter((_, i) => i % 2 === 0).map((l, i) => (l + stereo[2 * i + 1]) / 2);
function rmsOf(signal, from, seconds) {
  const start = Math.round(from * Audio.SAMPLE_RATE);
  const end = Math.min(signal.length, start + Math.round(seconds * Audio.SAMPLE_RATE));
  let sum = 0;
  for (let i = start; i < end; i++) sum += signal[i] * signal[i];
  return Math.sqrt(sum / Math.max(1, end - start));
}
const onsetOf = (signal) => signal.findIndex((x) => Math.abs(x) > MINUS_60_DBFS);
const SOUNDING = 100; // RMS, -50 dBFS; the demo's notes play at 500 to 4,000
const SILENT = 1;

// Clicks "Play in song" or "Solo" on the card of `file`, waits for the
// stretch to play, and saves it with "Download song WAV": the WAV's name and
// samples, and what the card's status line said.
async function playInSong(file, which) {
  const card = `#cards .card[data-file="${file}"]`;
  const before = await page.evaluate(() => window.timbrexPage.preview.songs.length);
  await clickSettled(page, `${card} button.song-${which}`);
  await page.waitForFunction((n) => window.timbrexPage.preview.songs.length > n, { timeout: 60000 }, before);
  await page.waitForFunction(
    (c) => /^Playing /.test(document.querySelector(`${c} .song-status`).textContent),
    {},
    card,
  );
  await page.evaluate(() => {
    window.savedSong = null;
    window.timbrexPage.saveBlob = (bytes, name, type) => {
      window.savedSong = { name, type, size: bytes.length, data: [...new Int16Array(bytes.slice(44).buffer)] };
    };
  });
  await clickSettled(page, `${card} button.song-wav`);
  await page.waitForFunction(() => window.savedSong, { timeout: 20000 });
  const saved = await page.evaluate(() => window.savedSong);
  saved.status = await page.$eval(`${card} .song-status`, (e) => e.textContent);
  return saved;
}

test('"Play in song" plays the demo from 1 s before the key-on; "Solo" that channel alone', async () => {
  // The organ, keyed on at 1.15 s on channel 6: the stretch starts at 0.15 s,
  // while the piano's last note fades and the bass (channel 2) plays from
  // 0.45 s to 0.95 s into it; the organ sounds from 1 s on.
  const where = await page.$eval('#cards .card[data-file="demo_2.vpf"] .origin-where', (e) => e.textContent);
  assert.equal(where, 'YM2612 channel 6, first heard at 0:01.15 in demo.vgz');
  const song = await playInSong('demo_2.vpf', 'play');
  assert.equal(song.name, 'demo_2-in-song.wav');
  assert.equal(song.status, 'Playing demo.vgz from 0:00.15 to 0:02.88, the key-on at 0:01.15.');
  const whole = monoOf(song.data);
  assert.ok(rmsOf(whole, 0.5, 0.4) > SOUNDING, `the bass before the key-on: RMS ${rmsOf(whole, 0.5, 0.4)}`);
  assert.ok(rmsOf(whole, 1.0, 0.5) > SOUNDING, `the organ: RMS ${rmsOf(whole, 1.0, 0.5)}`);
  const solo = await playInSong('demo_2.vpf', 'solo');
  assert.equal(solo.name, 'demo_2-solo.wav');
  assert.equal(solo.status, 'Playing channel 6 alone from 0:00.15 to 0:02.88, the key-on at 0:01.15.');
  const alone = monoOf(solo.data);
  assert.ok(rmsOf(alone, 0, 1.0) < SILENT, `before its key-on: RMS ${rmsOf(alone, 0, 1.0)}`);
  const onset = onsetOf(alone);
  assert.ok(onset >= 44100 && onset <= 44100 + 221, `the organ starts at frame ${onset}, not 44,100 to 44,321`);
  assert.ok(rmsOf(alone, 1.0, 0.5) > SOUNDING, `the organ alone: RMS ${rmsOf(alone, 1.0, 0.5)}`);
  for (const stretch of [song.data, solo.data]) {
    const end = tail(stretch);
    assert.deepEqual(stretch.slice(0, 2), [0, 0]);
    assert.deepEqual(end.last, [0, 0]);
    assert.ok(end.loudest <= MINUS_60_DBFS, `the last 10 ms reach ${end.loudest}`);
  }

  // The bass, keyed on at 0.60 s on channel 2: the stretch starts at the
  // log's start, where the piano (channel 1) plays and the bass is silent.
  const bass = monoOf((await playInSong('demo_1.vpf', 'play')).data);
  const bassAlone = monoOf((await playInSong('demo_1.vpf', 'solo')).data);
  assert.ok(rmsOf(bass, 0.3, 0.25) > SOUNDING, `the piano: RMS ${rmsOf(bass, 0.3, 0.25)}`);
  assert.ok(rmsOf(bassAlone, 0, 0.6) < SILENT, `the bass alone before its key-on: RMS ${rmsOf(bassAlone, 0, 0.6)}`);
  assert.ok(rmsOf(bassAlone, 0.6, 0.4) > SOUNDING, `the bass alone: RMS ${rmsOf(bassAlone, 0.6, 0.4)}`);
  const songs = await page.evaluate(() => window.timbrexPage.preview.songs.map((r) => ({ ...r })));
  assert.deepEqual(
    songs.map((r) => [r.file, r.solo]),
    [
      ['demo_2.vpf', false],
      ['demo_2.vpf', true],
      ['demo_1.vpf', false],
      ['demo_1.vpf', true],
    ],
  );
  console.log(`song stretches in the page: ${songs.map((r) => `${r.renderMs.toFixed(0)} ms`).join(', ')} to render`);
});

test('a YM2151 card says why it cannot play in its song, its buttons off', async () => {
  const cards = await page.$$eval('#cards .card', (list) =>
    list.map((c) => ({
      chip: c.dataset.chip,
      disabled: [...c.querySelectorAll('.song button')].map((b) => b.disabled),
      reason: c.querySelector('.song-status').textContent,
      shown: c.querySelector('.song-status').getBoundingClientRect().height > 0,
    })),
  );
  assert.equal(cards.length, 5);
  for (const card of cards) {
    if (card.chip === 'YM2151') {
      assert.deepEqual(card.disabled, [true, true, true]);
      assert.equal(
        card.reason,
        "Not playable in its song: the page's player (libgme 0.6.3) has no YM2151; it plays YM2612 songs only.",
      );
      assert.ok(card.shown);
    } else {
      assert.deepEqual(card.disabled, [false, false, false]);
    }
  }
  assert.equal(cards.filter((c) => c.chip === 'YM2151').length, 2);
});

test('a log that can no longer be read turns its songs off and says so', async () => {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'timbrex-song-'));
  const copy = path.join(folder, 'gone.vgz');
  fs.copyFileSync(demo, copy);
  await page.evaluate(() => {
    window.timbrexPage.state.finished = false;
  });
  await (await page.$('#file-input')).uploadFile(copy);
  await page.waitForFunction(() => window.timbrexPage.state.finished, { timeout: 60000, polling: 100 });
  fs.rmSync(folder, { recursive: true });
  const card = '#cards .card[data-file="gone_0.vpf"]';
  await clickSettled(page, `${card} button.song-play`);
  await page.waitForFunction((c) => document.querySelector(`${c} button.song-play`).disabled, { timeout: 20000 }, card);
  assert.equal(
    await page.$eval(`${card} .song-status`, (e) => e.textContent),
    'Not playable in its song: gone.vgz can no longer be read (moved, changed or removed since it was dropped).',
  );
  assert.deepEqual(await page.$$eval(`${card} .song button`, (list) => list.map((b) => b.disabled)), [
    true,
    true,
    true,
  ]);
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

// Last, as it replaces the demo's cards: every instrument of the real logs
// beside the repository, at the note a card plays first.
const realLogs = path.join(repo, '..', 'shared', 'real-logs');
test(
  "every real-logs instrument's preview ends below -60 dBFS at exactly zero",
  { skip: !fs.existsSync(realLogs) && `${realLogs} is absent`, timeout: 600000 },
  async () => {
    const logs = fs
      .readdirSync(realLogs)
      .filter((name) => /\.vg[mz]$/i.test(name))
      .map((name) => path.join(realLogs, name));
    await page.evaluate(() => {
      window.timbrexPage.state.finished = false;
    });
    await (await page.$('#file-input')).uploadFile(...logs);
    await page.waitForFunction(() => window.timbrexPage.state.finished, { timeout: 500000, polling: 200 });
    const count = await page.evaluate(() => window.timbrexPage.state.instruments.length);
    assert.ok(count > 5, `${count} instruments`);
    let seconds = 0;
    let longest = 0;
    let cut = 0;
    for (let i = 0; i < count; i++) {
      const end = tail(await renderWhole(i, Audio.FIRST_NOTE, false));
      assert.ok(end.loudest <= MINUS_60_DBFS, `instrument ${i}: the last 10 ms reach ${end.loudest}`);
      assert.deepEqual(end.last, [0, 0], `instrument ${i}`);
      assert.ok(end.frames <= Audio.MAX_PREVIEW_SAMPLES);
      seconds += end.frames / Audio.SAMPLE_RATE;
      longest = Math.max(longest, end.frames / Audio.SAMPLE_RATE);
      if (end.frames === Audio.MAX_PREVIEW_SAMPLES) cut += 1;
    }
    console.log(
      `real-logs: ${count} of ${count} previews at A4 end below -60 dBFS at zero; ` +
        `${(seconds / count).toFixed(2)} s on average, the longest ${longest.toFixed(2)} s, ${cut} faded out at 4 s`,
    );
  },
);

test('no console errors', () => {
  assert.deepEqual(consoleErrors, []);
});
