// One harvest in the worker: the dropped files mounted, the program run on
// them, the saved files read back.
//
// From the page:  {type: 'harvest', inputRoot, mounts: [{path, file}], arguments: [text]}
// To the page:    {type: 'done', instruments: [{fileName, sourcePath, saved, origin, bytes}], memoryBytes}
//                 where origin is {chip: 'YM2612' | 'YM2151', channel (from 1), sample (44.1 kHz
//                 samples into the source log), logs, captures, failedCheck}
const OUTPUT_FOLDER = '/output';
const utf8 = new TextDecoder();

function freshFolders(FS, WORKERFS, MEMFS, inputRoot, mounts) {
  for (const folder of [inputRoot, OUTPUT_FOLDER]) {
    try {
      FS.unmount(folder);
    } catch {
      /* not mounted */
    }
    try {
      FS.rmdir(folder);
    } catch {
      /* absent */
    }
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
  for (const part of parts) {
    packed.set(part, at);
    at += part.length + 1;
  }
  return packed;
}

// The words of an instrument's origin, as harvest_entry.cpp packs them.
function unpackOrigin(words) {
  const [chip, channel, sample, logs, captures, failed] = words.split(' ');
  return {
    chip,
    channel: Number(channel),
    sample: Number(sample),
    logs: Number(logs),
    captures: Number(captures),
    failedCheck: failed === '1',
  };
}

// Unpacks what timbrex_harvest returns: per instrument a saved flag, the
// file name, the source path and the origin, each text ended by a zero byte.
function unpackInstruments(bytes) {
  const instruments = [];
  let at = 0;
  const text = () => {
    const end = bytes.indexOf(0, at);
    const t = utf8.decode(bytes.subarray(at, end));
    at = end + 1;
    return t;
  };
  while (at < bytes.length) {
    const saved = bytes[at++] === 0x31;
    const fileName = text();
    const sourcePath = text();
    const origin = unpackOrigin(text());
    instruments.push({ fileName, sourcePath, saved, origin });
  }
  return instruments;
}

// `runtime`: the emscripten module's file system and exports (see main.js).
// (No destructuring here: emscripten's optimizer, which also reads this code,
// drops the declaration of a destructured name.)
export function harvest(runtime, message, post) {
  const FS = runtime.FS;
  freshFolders(FS, runtime.WORKERFS, runtime.MEMFS, message.inputRoot, message.mounts);
  const packed = packArguments(message.arguments);
  const argumentsAt = runtime.malloc(packed.length + 1);
  const lengthAt = runtime.malloc(4);
  runtime.heapU8().set(packed, argumentsAt);
  const resultAt = runtime.harvest(argumentsAt, packed.length, lengthAt);
  const resultLength = runtime.heap32()[lengthAt >> 2];
  runtime.free(argumentsAt);
  runtime.free(lengthAt);
  if (!resultAt) throw new Error('the harvest ran out of memory');
  const instruments = unpackInstruments(runtime.heapU8().slice(resultAt, resultAt + resultLength));
  runtime.free(resultAt);
  for (const instrument of instruments) {
    instrument.bytes = instrument.saved ? FS.readFile(`${OUTPUT_FOLDER}/${instrument.fileName}`) : null;
  }
  // The module's memory after the run: it holds the largest log read, never the drop.
  post({ type: 'done', instruments, memoryBytes: runtime.heapU8().length });
}
