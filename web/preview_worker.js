// The worker's side of the audio preview (placed after the module's code,
// with the harvest's worker script): renders one voice at one note.
//
// From the page:  {type: 'preview', id, bytes (the 42 bytes of a .vpf), note, hold, release}
// To the page:    {type: 'preview', id, samples (Int16Array, left and right interleaved), frames, renderMs}
//                 or {type: 'preview', id, error}
const VOICE_FILE_BYTES = 42;

function renderPreview(message) {
  const reply = { type: 'preview', id: message.id };
  const bytes = message.bytes;
  if (!bytes || bytes.length !== VOICE_FILE_BYTES) {
    postMessage(Object.assign(reply, { error: 'a voice patch is 42 bytes' }));
    return;
  }
  const voiceAt = _malloc(VOICE_FILE_BYTES);
  const framesAt = _malloc(4);
  HEAPU8.set(bytes, voiceAt);
  const started = performance.now();
  const samplesAt = _timbrex_preview_render(voiceAt, message.note, message.hold >>> 0, message.release >>> 0, framesAt);
  const renderMs = performance.now() - started;
  const frames = HEAPU32[framesAt >> 2];
  _free(voiceAt);
  _free(framesAt);
  if (!samplesAt) {
    postMessage(Object.assign(reply, { error: 'the preview could not be rendered' }));
    return;
  }
  const samples = HEAP16.slice(samplesAt >> 1, (samplesAt >> 1) + frames * 2);
  _free(samplesAt);
  postMessage(Object.assign(reply, { samples, frames, renderMs }), [samples.buffer]);
}
