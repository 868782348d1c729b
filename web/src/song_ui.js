// An instrument heard in its song: "Play in song" plays its source log from
// 1 s before the captured key-on for 4 s, "Solo" the same stretch with its
// channel alone, and "Download song WAV" saves the stretch played last. The
// worker reads the log again from the dropped file (or zip entry) through the
// handle the harvest gave; the page never holds the log's bytes.
import { button, element } from './dom.js';
import { formatSampleTime } from './provenance.js';

const SAMPLE_RATE = 44100;
const LEAD_SAMPLES = SAMPLE_RATE;
const PLAYABLE_CHIP = 'YM2612';
const YM2612_CHANNELS = 6;

// Why `instrument` ({origin, log, source}) cannot be played in its song, as
// the one line its card shows; null when it can.
export function songUnavailable(instrument) {
  const origin = instrument.origin;
  if (!origin) return 'the harvest did not say where it was heard.';
  if (origin.chip !== PLAYABLE_CHIP) {
    return `the page's player (libgme 0.6.3) has no ${origin.chip}; it plays YM2612 songs only.`;
  }
  if (origin.channel > YM2612_CHANNELS) return `channel ${origin.channel} is no channel the player has.`;
  if (!instrument.log) return `${instrument.source} cannot be read again.`;
  return null;
}

// The stretch's first sample in the log: 1 s before the key-on, or its start.
export function stretchStart(sample) {
  return Math.max(0, sample - LEAD_SAMPLES);
}

// "demo_1-in-song.wav", "demo_1-solo.wav"
export function songWavName(vpfName, solo) {
  return `${vpfName.replace(/\.vpf$/i, '')}-${solo ? 'solo' : 'in-song'}.wav`;
}

// What the status line says while a stretch plays.
export function playingText(instrument, solo, frames) {
  const start = stretchStart(instrument.origin.sample);
  const what = solo ? `channel ${instrument.origin.channel} alone` : instrument.source;
  return (
    `Playing ${what} from ${formatSampleTime(start)} to ${formatSampleTime(start + frames)}, ` +
    `the key-on at ${formatSampleTime(instrument.origin.sample)}.`
  );
}

// The song controls of the cards. `request(message)` sends a message to the
// worker and gives a promise of its reply; `play(rendered)` plays samples and
// gives {stop()}; `encodeWav(samples)` and `saveBlob(bytes, name, type)` save
// the stretch. Returns {controls(instrument), renders}: `renders` lists each
// stretch rendered, for the page's tests.
export function createSongControls({ request, play, encodeWav, saveBlob }) {
  const renders = [];
  let sounding = null;

  function render(song, solo) {
    const instrument = song.instrument;
    const origin = instrument.origin;
    return request({ type: 'song', log: instrument.log, sample: origin.sample, channel: origin.channel, solo }).then(
      (rendered) => {
        renders.push({ file: instrument.fileName, solo, frames: rendered.frames, renderMs: rendered.renderMs });
        song.last = { solo, rendered };
        return rendered;
      },
    );
  }

  function failed(song, error) {
    if (error.unreadable) {
      disable(
        song,
        `${song.instrument.source} can no longer be read (moved, changed or removed since it was dropped).`,
      );
    } else {
      song.status.textContent = `No sound: ${error.message}`;
    }
  }

  function disable(song, reason) {
    for (const b of [song.play, song.solo, song.wav]) b.disabled = true;
    song.status.textContent = `Not playable in its song: ${reason}`;
    song.element.classList.add('unavailable');
  }

  function playStretch(song, solo) {
    if (sounding) sounding.stop();
    sounding = null;
    song.status.textContent = 'Reading the song…';
    render(song, solo).then(
      (rendered) => {
        sounding = play(rendered);
        song.status.textContent = playingText(song.instrument, solo, rendered.frames);
      },
      (error) => failed(song, error),
    );
  }

  function downloadWav(song) {
    const last = song.last;
    const rendered = last ? Promise.resolve(last.rendered) : render(song, false);
    const solo = last ? last.solo : false;
    rendered.then(
      (r) => saveBlob(encodeWav(r.samples), songWavName(song.instrument.fileName, solo), 'audio/wav'),
      (error) => failed(song, error),
    );
  }

  function controls(instrument) {
    const song = {
      instrument,
      last: null,
      element: element('div', 'song'),
      play: button('song-play', '▶ Play in song'),
      solo: button('song-solo', 'Solo'),
      wav: button('song-wav', 'Download song WAV'),
      status: element('p', 'song-status'),
    };
    song.element.setAttribute('role', 'group');
    song.element.setAttribute('aria-label', `${instrument.fileName} in its song`);
    song.play.setAttribute('aria-label', `Play ${instrument.fileName} in its song, from 1 s before its key-on`);
    song.solo.setAttribute('aria-label', `Play the same stretch with ${instrument.fileName}'s channel alone`);
    song.wav.setAttribute('aria-label', `Download the stretch of the song played last as WAV`);
    song.status.setAttribute('aria-live', 'polite');
    song.play.addEventListener('click', () => playStretch(song, false));
    song.solo.addEventListener('click', () => playStretch(song, true));
    song.wav.addEventListener('click', () => downloadWav(song));
    const buttons = element('div', 'song-buttons');
    buttons.append(song.play, song.solo, song.wav);
    song.element.append(buttons, song.status);
    const reason = songUnavailable(instrument);
    if (reason) disable(song, reason);
    return song.element;
  }

  return { controls, renders };
}
