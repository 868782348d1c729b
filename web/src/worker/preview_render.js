// The worker's side of the audio preview: renders one voice at one note.
//
// From the page:  {type: 'preview', id, bytes (the 42 bytes of a .vpf), note, hold, release}
// To the page:    {type: 'preview', id, samples (Int16Array, left and right interleaved), frames, renderMs}
//                 or {type: 'preview', id, error}
const VOICE_FILE_BYTES = 42;

// `runtime`: the emscripten module's exports (see main.js).
export function renderPreview(runtime, message, post) {
  const reply = { type: 'preview', id: message.id };
  const bytes = message.bytes;
  if (!bytes || bytes.length !== VOICE_FILE_BYTES) {
    post(Object.assign(reply, { error: 'a voice patch is 42 bytes' }));
    return;
  }
  const voiceAt = runtime.malloc(VOICE_FILE_BYTES);
  const framesAt = runtime.malloc(4);
  runtime.heapU8().set(bytes, voiceAt);
  const started = performance.now();
  const samplesAt = runtime.renderPreview(voiceAt, message.note, message.hold >>> 0, message.release >>> 0, framesAt);
  const renderMs = performance.now() - started;
  const frames = runtime.heapU32()[framesAt >> 2];
  runtime.free(voiceAt);
  runtime.free(framesAt);
  if (!samplesAt) {
    post(Object.assign(reply, { error: 'the preview could not be rendered' }));
    return;
  }
  const samples = runtime.heap16().slice(samplesAt >> 1, (samplesAt >> 1) + frames * 2);
  runtime.free(samplesAt);
  post(Object.assign(reply, { samples, frames, renderMs }), [samples.buffer]);
}
