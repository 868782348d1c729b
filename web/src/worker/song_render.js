// The worker's side of "Play in song": reads an instrument's source log again
// through its handle and renders the stretch around its key-on.
//
// From the page:  {type: 'song', id, log (the handle, see log_handle.js), sample (the key-on, 44.1 kHz
//                 samples into the log), channel (YM2612, 1-6), solo (true: that channel alone)}
// To the page:    {type: 'song', id, samples (Int16Array, left and right interleaved, starting and ending at
//                 zero), frames, renderMs}
//                 or {type: 'song', id, error, unreadable (true when the log could not be read again)}
import { readHandle } from './log_handle.js';

const ERROR_BYTES = 256;
const utf8 = new TextDecoder();

// `runtime`: the emscripten module's exports (see main.js); `sourceOf(file)`
// reads a dropped file (input_fs.js).
export function renderSong(runtime, message, post, sourceOf) {
  const reply = { type: 'song', id: message.id };
  let bytes = null;
  try {
    bytes = message.log ? readHandle(message.log, sourceOf) : null;
  } catch {
    bytes = null;
  }
  if (!bytes) {
    post(Object.assign(reply, { error: 'the log can no longer be read', unreadable: true }));
    return;
  }
  const fileAt = runtime.malloc(Math.max(1, bytes.length));
  const framesAt = runtime.malloc(4);
  const errorAt = runtime.malloc(ERROR_BYTES);
  runtime.heapU8().set(bytes, fileAt);
  const started = performance.now();
  const samplesAt = runtime.songRender(
    fileAt,
    bytes.length,
    message.sample,
    message.channel,
    message.solo ? 1 : 0,
    framesAt,
    errorAt,
    ERROR_BYTES,
  );
  const renderMs = performance.now() - started;
  const frames = runtime.heapU32()[framesAt >> 2];
  const heap = runtime.heapU8();
  const error = utf8.decode(heap.slice(errorAt, heap.indexOf(0, errorAt)));
  runtime.free(fileAt);
  runtime.free(framesAt);
  runtime.free(errorAt);
  if (!samplesAt) {
    post(Object.assign(reply, { error: error || 'the stretch could not be rendered' }));
    return;
  }
  const samples = runtime.heap16().slice(samplesAt >> 1, (samplesAt >> 1) + frames * 2);
  runtime.free(samplesAt);
  post(Object.assign(reply, { samples, frames, renderMs }), [samples.buffer]);
}
