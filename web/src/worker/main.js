// The worker's entry: messages in, a harvest or a preview render on this
// thread, messages out. esbuild bundles it into one script that the link step
// places after the emscripten module's code (--post-js), so the names below
// are the module's own; this file is the only one that uses them, and hands
// them to the others as `runtime`.
//
// From the page:  {type: 'harvest', ...} (harvest.js), {type: 'preview', ...} (preview_render.js),
//                 {type: 'song', ...} (song_render.js), {type: 'bank', ...} (bank_files.js)
// To the page:    {type: 'ready'}, {type: 'line', text} for each printed line (module_pre.js),
//                 the replies of harvest.js, preview_render.js, song_render.js and bank_files.js,
//                 {type: 'error', message}
/* global Module, FS, MEMFS, HEAPU8, HEAP16, HEAP32, HEAPU32 */
/* global _malloc, _free, _timbrex_harvest, _timbrex_preview_render, _timbrex_song_render, _timbrex_bank_files */
import { harvest } from './harvest.js';
import { renderPreview } from './preview_render.js';
import { renderSong } from './song_render.js';
import { fileSource } from './input_fs.js';
import { bankFiles } from './bank_files.js';

// The heap views are read anew at each use: a grown memory replaces them.
const runtime = {
  FS,
  MEMFS,
  heapU8: () => HEAPU8,
  heap16: () => HEAP16,
  heap32: () => HEAP32,
  heapU32: () => HEAPU32,
  malloc: (bytes) => _malloc(bytes),
  free: (at) => _free(at),
  harvest: (argumentsAt, length, lengthAt) => _timbrex_harvest(argumentsAt, length, lengthAt),
  renderPreview: (voiceAt, note, hold, release, match, framesAt) =>
    _timbrex_preview_render(voiceAt, note, hold, release, match, framesAt),
  songRender: (fileAt, size, sample, channel, solo, framesAt, errorAt, errorSize) =>
    _timbrex_song_render(fileAt, size, sample, channel, solo, framesAt, errorAt, errorSize),
  bankFiles: (format, outAt, packedAt, length, lengthAt) =>
    _timbrex_bank_files(format, outAt, packedAt, length, lengthAt),
};

const post = (message, transfer) => postMessage(message, transfer || []);

onmessage = (event) => {
  const message = event.data;
  Module['timbrexReady']
    .then(() => {
      switch (message.type) {
        case 'harvest':
          return harvest(runtime, message, post);
        case 'preview':
          renderPreview(runtime, message, post);
          break;
        case 'song':
          renderSong(runtime, message, post, fileSource);
          break;
        case 'bank':
          bankFiles(runtime, message, post);
          break;
        default:
          post({ type: 'error', message: `unknown message type ${message.type}` });
      }
    })
    .catch((error) => post({ type: 'error', message: String((error && error.message) || error) }));
};

Module['timbrexReady'].then(() => post({ type: 'ready' }));
