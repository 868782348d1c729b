// One harvest in the worker: the dropped files mounted, the program run on
// them, the saved files read back.
//
// From the page:  {type: 'harvest', inputRoot, mounts: [{path, file}], arguments: [text]}
// To the page:    {type: 'logs', total} once the zips are opened, a {type: 'line', text} for each zip
//                 that cannot be, {type: 'done', instruments: [{fileName, sourcePath, saved, origin, bytes}],
//                 memoryBytes, timings} where origin is {chip: 'YM2612' | 'YM2151', channel (from 1), sample
//                 (44.1 kHz samples into the source log), logs, captures, failedCheck}
import { buildInputTree, countLogs, zipArguments } from './input_tree.js';
import { fileSource, makeInputFs, readAhead } from './input_fs.js';
import { handleAt } from './log_handle.js';

const OUTPUT_FOLDER = '/output';
const utf8 = new TextDecoder();

function freshFolders(FS, MEMFS, inputRoot, tree, stats) {
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
  FS.mount(makeInputFs(FS, stats), { tree }, inputRoot);
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

// Opens the zips among the dropped files and reports on them; returns the
// tree to mount and the arguments with the zips named as folders.
function openInput(message, post) {
  const input = buildInputTree(message.mounts, fileSource);
  for (const zip of input.zips) {
    const shown = `${message.inputRoot}/${zip.path}`;
    if (zip.problem) post({ type: 'line', text: `ERR: Can't open file '${shown}' (${zip.problem})` });
    else if (zip.skipped) {
      const what = zip.skipped === 1 ? 'entry' : 'entries';
      post({ type: 'line', text: `ERR: Skipped ${zip.skipped} ${what} of '${shown}' that would not unpack inside it` });
    }
  }
  const failedZips = input.zips.filter((zip) => zip.problem).length;
  post({ type: 'logs', total: countLogs(input.root) + failedZips });
  return { root: input.root, args: zipArguments(message.arguments, message.inputRoot, input.zips) };
}

// Runs the program on `args`; returns its instruments with their files' bytes.
function runProgram(runtime, args) {
  const packed = packArguments(args);
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
    instrument.bytes = instrument.saved ? runtime.FS.readFile(`${OUTPUT_FOLDER}/${instrument.fileName}`) : null;
  }
  return instruments;
}

// Gives each instrument the handle of its source log: the page keeps it to
// read the log again for "Play in song", and not the log's bytes.
function attachHandles(instruments, root, inputRoot) {
  const handles = new Map();
  for (const instrument of instruments) {
    if (!handles.has(instrument.sourcePath)) {
      handles.set(instrument.sourcePath, handleAt(root, inputRoot, instrument.sourcePath));
    }
    instrument.log = handles.get(instrument.sourcePath);
  }
}

// `runtime`: the emscripten module's file system and exports (see main.js).
// (No destructuring here: emscripten's optimizer, which also reads this code,
// drops the declaration of a destructured name.) The reply's `timings` say
// where the worker's time went, in milliseconds, for the benchmark.
export async function harvest(runtime, message, post) {
  const started = performance.now();
  const input = openInput(message, post);
  const opened = performance.now();
  if (input.args.length > 0) await readAhead(input.root);
  const readAheadMs = performance.now() - opened;
  let instruments = [];
  const stats = { readMs: 0 };
  if (input.args.length > 0) {
    freshFolders(runtime.FS, runtime.MEMFS, message.inputRoot, input.root, stats);
    instruments = runProgram(runtime, input.args);
    attachHandles(instruments, input.root, message.inputRoot);
    // Whatever was read ahead and never opened goes with the input folder.
    runtime.FS.unmount(message.inputRoot);
  }
  const timings = {
    openZipsMs: opened - started,
    readAheadMs,
    harvestMs: performance.now() - opened,
    readMs: stats.readMs,
  };
  // The module's memory after the run: it holds the largest log read, never the drop.
  post({ type: 'done', instruments, memoryBytes: runtime.heapU8().length, timings });
}
