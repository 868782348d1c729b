// The audio preview on the page: per card a play button, a two-octave
// keyboard (also played from the computer keyboard while the card's preview
// has focus) and a WAV download. The worker renders every note with libgme's
// YM2612; Web Audio plays the samples.
import * as Audio from './preview_audio.js';
import { button } from './dom.js';

const SECONDS_HELD = Audio.HOLD_SAMPLES / Audio.SAMPLE_RATE;
// A released key asks for a render with the key-off this much later than
// now, so that the new samples are there before their key-off is due.
const RENDER_MARGIN = 0.04;
const CACHE_SIZE = 32;

// The preview's controls for the cards. `currentWorker()` gives the worker that
// renders (the page's harvest worker); `saveBlob(bytes, name, type)` downloads.
// Returns {controls(instrument), onWorkerMessage(message), engine}.
export function createPreview({ currentWorker, saveBlob }) {
  const engine = {
    context: null,
    nextId: 1,
    pending: new Map(),
    cache: new Map(),
    // What the page's tests read: every rendered preview's frame count and render time.
    renders: [],
  };

  function context() {
    if (!engine.context) engine.context = new AudioContext();
    if (engine.context.state === 'suspended') engine.context.resume();
    return engine.context;
  }

  // The harvest's worker also renders; the page passes its replies here.
  function onWorkerMessage(message) {
    const waiting = engine.pending.get(message.id);
    if (!waiting) return;
    engine.pending.delete(message.id);
    if (message.error) {
      waiting.reject(new Error(message.error));
      return;
    }
    engine.renders.push({ frames: message.frames, renderMs: message.renderMs });
    waiting.resolve(message);
  }

  function requestRender(bytes, note, hold) {
    const worker = currentWorker();
    if (!worker) return Promise.reject(new Error('the page has no worker'));
    const id = engine.nextId++;
    return new Promise((resolve, reject) => {
      engine.pending.set(id, { resolve, reject });
      worker.postMessage({ type: 'preview', id, bytes, note, hold, release: Audio.RELEASE_SAMPLES });
    });
  }

  // The whole preview of a note (held the full hold time) is kept for the
  // notes played most recently; shorter holds are rendered when a key goes up.
  function render(instrument, note, hold) {
    // By the voice's bytes: a later harvest may give another voice the same file name.
    const key = `${Array.prototype.join.call(instrument.bytes, ',')}/${note}/${hold}`;
    if (engine.cache.has(key)) return engine.cache.get(key);
    const rendered = requestRender(instrument.bytes, note, hold);
    if (hold === Audio.HOLD_SAMPLES) {
      engine.cache.set(key, rendered);
      rendered.catch(() => engine.cache.delete(key));
      if (engine.cache.size > CACHE_SIZE) engine.cache.delete(engine.cache.keys().next().value);
    }
    return rendered;
  }

  function audioBuffer(rendered) {
    const ctx = context();
    const buffer = ctx.createBuffer(2, rendered.frames, Audio.SAMPLE_RATE);
    Audio.splitChannels(rendered.samples, 2).forEach((channel, c) => buffer.copyToChannel(channel, c));
    return buffer;
  }

  function startSource(buffer, when, offset) {
    const source = context().createBufferSource();
    source.buffer = buffer;
    source.connect(context().destination);
    source.start(when, offset);
    return source;
  }

  // One sounding note of a card. Its samples up to the key-off are the same
  // in every render, so a shorter hold takes over mid-note without a seam.
  function noteOn(preview, note) {
    noteOff(preview, note);
    const voice = { note, source: null, startedAt: 0, downAt: performance.now(), released: false };
    preview.sounding.set(note, voice);
    setCurrentNote(preview, note);
    pressKey(preview, note, true);
    render(preview.instrument, note, Audio.HOLD_SAMPLES).then(
      (rendered) => {
        if (voice.released) return;
        voice.startedAt = context().currentTime;
        voice.source = startSource(audioBuffer(rendered), voice.startedAt, 0);
        preview.element.dataset.previewSamples = String(rendered.frames);
      },
      (error) => showError(preview, error),
    );
  }

  function noteOff(preview, note) {
    const voice = preview.sounding.get(note);
    if (!voice) return;
    preview.sounding.delete(note);
    voice.released = true;
    pressKey(preview, note, false);
    if (!voice.source) {
      // Let go before the first samples came: play it with the hold it had.
      const held = (performance.now() - voice.downAt) / 1000;
      render(preview.instrument, note, Audio.holdSamples(held)).then(
        (rendered) => {
          startSource(audioBuffer(rendered), context().currentTime, 0);
          preview.element.dataset.previewSamples = String(rendered.frames);
        },
        (error) => showError(preview, error),
      );
      return;
    }
    const held = context().currentTime - voice.startedAt;
    if (held >= SECONDS_HELD) return; // the full preview already lets go at its hold time
    render(preview.instrument, note, Audio.holdSamples(held + RENDER_MARGIN)).then(
      (rendered) => {
        const when = context().currentTime;
        startSource(audioBuffer(rendered), when, when - voice.startedAt);
        voice.source.stop(when);
      },
      (error) => showError(preview, error),
    );
  }

  function playWhole(preview) {
    const note = preview.currentNote;
    render(preview.instrument, note, Audio.HOLD_SAMPLES).then(
      (rendered) => {
        startSource(audioBuffer(rendered), context().currentTime, 0);
        preview.element.dataset.previewSamples = String(rendered.frames);
      },
      (error) => showError(preview, error),
    );
  }

  function downloadWav(preview) {
    const note = preview.currentNote;
    render(preview.instrument, note, Audio.HOLD_SAMPLES).then(
      (rendered) => {
        const wav = Audio.encodeWav(rendered.samples, Audio.SAMPLE_RATE, 2);
        saveBlob(wav, Audio.wavFileName(preview.instrument.fileName, note), 'audio/wav');
      },
      (error) => showError(preview, error),
    );
  }

  function showError(preview, error) {
    preview.status.textContent = `No sound: ${error.message}`;
  }

  function setCurrentNote(preview, note) {
    preview.currentNote = note;
    const name = Audio.noteName(note);
    preview.play.textContent = `▶ Play ${name}`;
    preview.play.setAttribute('aria-label', `Play ${preview.instrument.fileName} at ${name}`);
    preview.wav.setAttribute('aria-label', `Download the preview of ${preview.instrument.fileName} at ${name} as WAV`);
  }

  function pressKey(preview, note, down) {
    const key = preview.keys.get(note);
    if (key) key.classList.toggle('down', down);
  }

  // The keys, built once: a page of a thousand cards clones them instead of
  // building each keyboard anew.
  let keyboardTemplate = null;
  function keyboardKeys() {
    if (keyboardTemplate) return keyboardTemplate.cloneNode(true);
    const notes = Audio.keyboardNotes();
    const whites = notes.filter((n) => !n.black).length;
    keyboardTemplate = document.createElement('div');
    keyboardTemplate.className = 'keyboard';
    keyboardTemplate.setAttribute('role', 'group');
    let whiteIndex = 0;
    for (const { note, name, black, key } of notes) {
      const k = button(black ? 'key black' : 'key white', key);
      k.dataset.note = String(note);
      k.setAttribute('aria-label', `${name} (key ${key})`);
      k.tabIndex = note === Audio.MIDDLE_C ? 0 : -1;
      if (black) k.style.left = `calc(${(100 * whiteIndex) / whites}% - 0.75em)`;
      else whiteIndex += 1;
      keyboardTemplate.append(k);
    }
    return keyboardTemplate.cloneNode(true);
  }

  // The keyboard is one stop of the Tab key; the arrow keys move along it and
  // Enter or Space plays the key in focus, as long as it is held. Its few
  // listeners sit on the keyboard and find the key an event is for.
  function keyboard(preview) {
    const board = keyboardKeys();
    board.setAttribute(
      'aria-label',
      `Keyboard C3 to C5 for ${preview.instrument.fileName}: computer keys Z to M and Q to I`,
    );
    for (const k of board.children) preview.keys.set(Number(k.dataset.note), k);
    const keyOf = (event) => event.target.closest && event.target.closest('.key');
    board.addEventListener('pointerdown', (event) => {
      const k = keyOf(event);
      if (!k) return;
      event.preventDefault();
      k.focus();
      k.setPointerCapture(event.pointerId);
      noteOn(preview, Number(k.dataset.note));
    });
    for (const type of ['pointerup', 'pointercancel']) {
      board.addEventListener(type, (event) => {
        const k = keyOf(event);
        if (k) noteOff(preview, Number(k.dataset.note));
      });
    }
    board.addEventListener('keydown', (event) => {
      const k = keyOf(event);
      if (!k) return;
      const note = Number(k.dataset.note);
      if ((event.key === 'Enter' || event.key === ' ') && !event.repeat) {
        event.preventDefault();
        noteOn(preview, note);
      } else if (event.key === 'ArrowRight' || event.key === 'ArrowLeft') {
        event.preventDefault();
        const next = preview.keys.get(note + (event.key === 'ArrowRight' ? 1 : -1));
        if (next) {
          k.tabIndex = -1;
          next.tabIndex = 0;
          next.focus();
        }
      }
    });
    board.addEventListener('keyup', (event) => {
      const k = keyOf(event);
      if (k && (event.key === 'Enter' || event.key === ' ')) noteOff(preview, Number(k.dataset.note));
    });
    return board;
  }

  // The controls of one card's instrument.
  function controls(instrument) {
    const element = document.createElement('div');
    element.className = 'preview';
    element.setAttribute('role', 'group');
    element.setAttribute('aria-label', `Listen to ${instrument.fileName}`);
    const preview = {
      instrument,
      element,
      keys: new Map(),
      sounding: new Map(),
      currentNote: Audio.MIDDLE_C,
      play: button('play', ''),
      wav: button('wav', 'Download WAV'),
      status: document.createElement('p'),
    };
    preview.status.className = 'preview-status';
    preview.status.setAttribute('aria-live', 'polite');
    setCurrentNote(preview, Audio.MIDDLE_C);
    preview.play.addEventListener('click', () => playWhole(preview));
    preview.wav.addEventListener('click', () => downloadWav(preview));
    const buttons = document.createElement('div');
    buttons.className = 'preview-buttons';
    buttons.append(preview.play, preview.wav);
    element.append(buttons, keyboard(preview), preview.status);
    // Letters and digits play while anything of this card's preview has focus.
    element.addEventListener('keydown', (event) => {
      const note = Audio.noteForKey(event.code);
      if (note === null || event.repeat || event.ctrlKey || event.metaKey || event.altKey) return;
      event.preventDefault();
      noteOn(preview, note);
    });
    element.addEventListener('keyup', (event) => {
      const note = Audio.noteForKey(event.code);
      if (note !== null) noteOff(preview, note);
    });
    element.addEventListener('focusout', (event) => {
      if (element.contains(event.relatedTarget)) return;
      for (const note of [...preview.sounding.keys()]) noteOff(preview, note);
    });
    return element;
  }

  return { controls, onWorkerMessage, engine };
}
