// The audio preview on the page: per card a play button, a two-octave
// keyboard labelled with note names (also played from the computer keyboard
// while the card's preview has focus, '-' and '=' shifting it by octaves), a
// WAV download, and the instrument in its song (song_ui.js). The worker
// renders every note with libgme's YM2612, ending each preview at exactly
// zero; Web Audio plays the samples.
import * as Audio from './preview_audio.js';
import { button } from './dom.js';
import { createSongControls } from './song_ui.js';

const SECONDS_HELD = Audio.HOLD_SAMPLES / Audio.SAMPLE_RATE;
// A released key asks for a render with the key-off this much later than
// now, so that the new samples are there before their key-off is due.
const RENDER_MARGIN = 0.04;
const CACHE_SIZE = 32;

// The preview's controls for the cards. `currentWorker()` gives the worker that
// renders (the page's harvest worker); `saveBlob(bytes, name, type)` downloads;
// `matchLoudness()` says whether every preview is brought to one loudness.
// Returns {controls(instrument), onWorkerMessage(message), engine}; the
// worker's replies of type 'preview' and 'song' go to onWorkerMessage.
export function createPreview({ currentWorker, saveBlob, matchLoudness = () => false }) {
  const engine = {
    context: null,
    nextId: 1,
    pending: new Map(),
    cache: new Map(),
    // What the page's tests read: every rendered preview's note, hold,
    // loudness matching, frame count and render time; every song stretch's
    // file, solo, frame count and render time.
    renders: [],
    songs: null,
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
      waiting.reject(Object.assign(new Error(message.error), { unreadable: Boolean(message.unreadable) }));
      return;
    }
    waiting.resolve(message);
  }

  // Sends `message` to the worker with an id of its own; the promise of its reply.
  function request(message) {
    const worker = currentWorker();
    if (!worker) return Promise.reject(new Error('the page has no worker'));
    const id = engine.nextId++;
    return new Promise((resolve, reject) => {
      engine.pending.set(id, { resolve, reject });
      worker.postMessage(Object.assign({ id }, message));
    });
  }

  function requestRender(bytes, note, hold, match) {
    const message = { type: 'preview', bytes, note, hold, release: Audio.RELEASE_SAMPLES, match };
    return request(message).then((rendered) => {
      engine.renders.push({ note, hold, match, frames: rendered.frames, renderMs: rendered.renderMs });
      return rendered;
    });
  }

  // The whole preview of a note (held the full hold time) is kept for the
  // notes played most recently; shorter holds are rendered when a key goes up.
  function render(instrument, note, hold) {
    const match = Boolean(matchLoudness());
    // By the voice's bytes: a later harvest may give another voice the same file name.
    const key = `${Array.prototype.join.call(instrument.bytes, ',')}/${note}/${hold}/${match}`;
    if (engine.cache.has(key)) return engine.cache.get(key);
    const rendered = requestRender(instrument.bytes, note, hold, match);
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

  const song = createSongControls({
    request,
    play: (rendered) => startSource(audioBuffer(rendered), context().currentTime, 0),
    encodeWav: (samples) => Audio.encodeWav(samples, Audio.SAMPLE_RATE, 2),
    saveBlob,
  });
  engine.songs = song.renders;

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
    for (const { note, black } of notes) {
      const k = button(black ? 'key black' : 'key white', '');
      k.tabIndex = note === Audio.FIRST_NOTE ? 0 : -1;
      // A black key is centred on the line between two white keys: half its width left of it.
      if (black) k.style.left = `calc(${(100 * whiteIndex) / whites}% - 0.825em)`;
      else whiteIndex += 1;
      keyboardTemplate.append(k);
    }
    labelKeys(keyboardTemplate, 0);
    return keyboardTemplate.cloneNode(true);
  }

  // The keys' notes, names and computer keys for the keyboard shifted `shift` octaves.
  function labelKeys(board, shift) {
    const notes = Audio.keyboardNotes(shift);
    [...board.children].forEach((k, i) => {
      const { note, name, black, key } = notes[i];
      k.dataset.note = String(note);
      // A black key is narrow: its octave may go under the sharp.
      k.textContent = black ? name.replace(/(-?\d+)$/, '\u200b$1') : name;
      k.setAttribute('aria-label', `${name} (key ${key})`);
    });
  }

  function keyboardName(preview) {
    const notes = Audio.keyboardNotes(preview.shift);
    return (
      `Keyboard ${notes[0].name} to ${notes[notes.length - 1].name} for ${preview.instrument.fileName}: ` +
      'computer keys Z to M and Q to I, minus and equals shift the octave'
    );
  }

  // Shifts a card's keyboard to `shift` octaves: its keys show and play the
  // notes of the new range, and the computer keys with them.
  function shiftOctave(preview, shift) {
    if (shift === preview.shift) return;
    for (const note of [...preview.sounding.keys()]) noteOff(preview, note);
    preview.shift = shift;
    labelKeys(preview.board, shift);
    preview.keys.clear();
    for (const k of preview.board.children) preview.keys.set(Number(k.dataset.note), k);
    preview.board.setAttribute('aria-label', keyboardName(preview));
    preview.octaveDown.disabled = shift <= Audio.LOWEST_SHIFT;
    preview.octaveUp.disabled = shift >= Audio.HIGHEST_SHIFT;
    const notes = Audio.keyboardNotes(shift);
    preview.status.textContent = `Keyboard ${notes[0].name} to ${notes[notes.length - 1].name}`;
  }

  // The keyboard is one stop of the Tab key; the arrow keys move along it and
  // Enter or Space plays the key in focus, as long as it is held. Its few
  // listeners sit on the keyboard and find the key an event is for.
  function keyboard(preview) {
    const board = keyboardKeys();
    preview.board = board;
    board.setAttribute('aria-label', keyboardName(preview));
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
        const next = event.key === 'ArrowRight' ? k.nextElementSibling : k.previousElementSibling;
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
      shift: 0,
      board: null,
      currentNote: Audio.FIRST_NOTE,
      play: button('play', ''),
      wav: button('wav', 'Download WAV'),
      octaveDown: button('octave-down', '− Octave'),
      octaveUp: button('octave-up', '+ Octave'),
      status: document.createElement('p'),
    };
    preview.status.className = 'preview-status';
    preview.status.setAttribute('aria-live', 'polite');
    setCurrentNote(preview, Audio.FIRST_NOTE);
    preview.play.addEventListener('click', () => playWhole(preview));
    preview.wav.addEventListener('click', () => downloadWav(preview));
    preview.octaveDown.setAttribute('aria-label', 'Octave down (key minus)');
    preview.octaveUp.setAttribute('aria-label', 'Octave up (key equals)');
    preview.octaveDown.addEventListener('click', () => shiftOctave(preview, preview.shift - 1));
    preview.octaveUp.addEventListener('click', () => shiftOctave(preview, preview.shift + 1));
    const buttons = document.createElement('div');
    buttons.className = 'preview-buttons';
    buttons.append(preview.play, preview.wav, preview.octaveDown, preview.octaveUp);
    element.append(buttons, keyboard(preview), preview.status, song.controls(instrument));
    // Letters and digits play while anything of this card's preview has
    // focus; '-' and '=' shift the octave.
    element.addEventListener('keydown', (event) => {
      if (event.repeat || event.ctrlKey || event.metaKey || event.altKey) return;
      if (Audio.isShiftKey(event.code)) {
        event.preventDefault();
        shiftOctave(preview, Audio.shiftForKey(event.code, preview.shift));
        return;
      }
      const note = Audio.noteForKey(event.code, preview.shift);
      if (note === null) return;
      event.preventDefault();
      noteOn(preview, note);
    });
    element.addEventListener('keyup', (event) => {
      const note = Audio.noteForKey(event.code, preview.shift);
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
