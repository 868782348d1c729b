// The worker's side of the page: messages in, a harvest on this thread,
// messages out. (Placed after the module's code, so FS, WORKERFS and the
// exported functions are in scope.)
//
// From the page:  {type: 'harvest', mounts: [{path, file}], arguments: [text]},
//                 {type: 'preview', ...} (preview_worker.js)
// To the page:    {type: 'ready'}, {type: 'line', text} for each printed line,
//                 {type: 'done', instruments: [{fileName, sourcePath, saved, origin, bytes}], memoryBytes},
//                 where origin is {chip: 'YM2612' | 'YM2151', channel (from 1), sample (44.1 kHz
//                 samples into the source log), logs, captures, failedCheck}
//                 {type: 'error', message}
const OUTPUT_FOLDER = '/output';
const utf8 = new TextDecoder();

function freshFolders(inputRoot, mounts) {
  for (const folder of [inputRoot, OUTPUT_FOLDER]) {
    try { FS.unmount(folder); } catch (e) { /* not mounted */ }
    try { FS.rmdir(folder); } catch (e) { /* absent */ }
  }
  FS.mkdir(inputRoot);
  // WORKERFS reads each File in slices as the harvest asks for them: memory
  // follows the log being read, not the whole drop.
  FS.mount(WORKERFS, { blobs: mounts.map((m) => ({ name: m.path, data: m.file })) }, inputRoot);
  FS.mkdir(OUTPUT_FOLDER);
  FS.mount(MEMFS, {}, OUTPUT_FOLDER);
  FS.chdir(OUTPUT_FOLDER);
}

function packArguments(args) {
  const parts = args.map((a) => new TextEncoder().encode(a));
  const packed = new Uint8Array(parts.reduce((n, p) => n + p.length + 1, 0));
  let at = 0;
  for (const part of parts) { packed.set(part, at); at += part.length + 1; }
  return packed;
}

// The words of an instrument's origin, as harvest_entry.cpp packs them.
function unpackOrigin(words) {
  const [chip, channel, sample, logs, captures, failed] = words.split(' ');
  return {
    chip, channel: Number(channel), sample: Number(sample), logs: Number(logs), captures: Number(captures),
    failedCheck: failed === '1',
  };
}

// Unpacks what timbrex_harvest returns: per instrument a saved flag, the
// file name, the source path and the origin, each text ended by a zero byte.
function unpackInstruments(bytes) {
  const instruments = [];
  let at = 0;
  const text = () => { const end = bytes.indexOf(0, at); const t = utf8.decode(bytes.subarray(at, end)); at = end + 1; return t; };
  while (at < bytes.length) {
    const saved = bytes[at++] === 0x31;
    const fileName = text();
    const sourcePath = text();
    const origin = unpackOrigin(text());
    instruments.push({ fileName, sourcePath, saved, origin });
  }
  return instruments;
}

function harvest(message) {
  freshFolders(message.inputRoot, message.mounts);
  const packed = packArguments(message.arguments);
  const argumentsAt = _malloc(packed.length + 1);
  const lengthAt = _malloc(4);
  HEAPU8.set(packed, argumentsAt);
  const resultAt = _timbrex_harvest(argumentsAt, packed.length, lengthAt);
  const resultLength = HEAP32[lengthAt >> 2];
  _free(argumentsAt);
  _free(lengthAt);
  if (!resultAt) throw new Error('the harvest ran out of memory');
  const instruments = unpackInstruments(HEAPU8.slice(resultAt, resultAt + resultLength));
  _free(resultAt);
  for (const instrument of instruments) {
    instrument.bytes = instrument.saved ? FS.readFile(`${OUTPUT_FOLDER}/${instrument.fileName}`) : null;
  }
  // The module's memory after the run: it holds the largest log read, never the drop.
  postMessage({ type: 'done', instruments, memoryBytes: HEAPU8.length });
}

onmessage = (event) => {
  const message = event.data;
  Module['timbrexReady'].then(() => {
    switch (message.type) {
      case 'harvest':
        harvest(message);
        break;
      case 'preview':
        renderPreview(message);
        break;
      default:
        postMessage({ type: 'error', message: `unknown message type ${message.type}` });
    }
  }).catch((error) => postMessage({ type: 'error', message: String(error && error.message || error) }));
};

Module['timbrexReady'].then(() => postMessage({ type: 'ready' }));
