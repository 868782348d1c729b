// What the File System Access pickers give, as the harvest's items ({path,
// file}). Where the browser has them, "Choose files" and "Choose a folder"
// open them instead of the <input> elements' chooser: an <input> hands a
// folder over as one list built in a single task of the browser's, about
// half a millisecond a file (a second for 2,000 logs), before the page can
// do anything. A folder's handle is walked here instead, an entry and a
// file request at a time, a few milliseconds of script a task.
import { fewAtATime, nextTask } from './slices.js';

// What the file picker offers: logs, and zips of them. "All files" stays.
const FILE_TYPES = [
  {
    description: 'VGM logs and zips of them',
    accept: { 'application/octet-stream': ['.vgm', '.vgz', '.zip'] },
  },
];
// Both pickers open where the last one was left.
const PICKER_ID = 'timbrex-logs';
// File requests in flight at once: each is a round trip to the browser.
const FILES_AT_ONCE = 16;

export const canPickFiles = (win) => typeof win.showOpenFilePicker === 'function';
export const canPickFolder = (win) => typeof win.showDirectoryPicker === 'function';

// A user who closes the picker without choosing wants nothing to happen.
const cancelled = (error) => error && error.name === 'AbortError';

// Opens the file picker; resolves to the picked files as loose items (named
// by their names, as the <input multiple> gives them), or to [] when the
// picker was closed. Call it from the click, which the picker needs.
export async function pickFiles(win) {
  let handles;
  try {
    handles = await win.showOpenFilePicker({ multiple: true, id: PICKER_ID, types: FILE_TYPES });
  } catch (error) {
    if (cancelled(error)) return [];
    throw error;
  }
  return fileItems(handles.map((handle) => ({ path: handle.name, handle })));
}

// Opens the folder picker; resolves to the folder's handle, or to null when
// the picker was closed. Call it from the click, which the picker needs.
export async function pickFolder(win) {
  try {
    return await win.showDirectoryPicker({ id: PICKER_ID, mode: 'read' });
  } catch (error) {
    if (cancelled(error)) return null;
    throw error;
  }
}

// A function that, awaited after each small step, starts a new task once
// `budget` milliseconds of script have run in this one; it resolves to true
// when it did.
function pacer(budget = 8) {
  let start = performance.now();
  return async () => {
    if (performance.now() - start <= budget) return false;
    await nextTask();
    start = performance.now();
    return true;
  };
}

// Every file below `directory` at any depth, as items whose paths begin with
// the folder's own name (`folder/sub/name`, as an <input webkitdirectory>
// names them). `onFound(count)` hears how many files were found so far, once
// a task; the walk stops and resolves to null as soon as `isCurrent()` turns
// false (another pick replaced this one).
export async function folderItems(directory, { isCurrent = () => true, onFound = () => {} } = {}) {
  const pause = pacer();
  const found = [];
  const walk = async (folder, prefix) => {
    for await (const [name, handle] of folder.entries()) {
      if (!isCurrent()) return false;
      if (handle.kind === 'file') found.push({ path: prefix + name, handle });
      else if (!(await walk(handle, `${prefix}${name}/`))) return false;
      if (await pause()) onFound(found.length);
    }
    return isCurrent();
  };
  if (!(await walk(directory, `${directory.name}/`))) return null;
  onFound(found.length);
  return fileItems(found, { isCurrent, pause });
}

// The files of `found` ([{path, handle}]) in the same order, FILES_AT_ONCE
// requests at a time; null when `isCurrent()` turned false on the way.
async function fileItems(found, { isCurrent = () => true, pause = pacer() } = {}) {
  const items = new Array(found.length);
  await fewAtATime(
    found,
    FILES_AT_ONCE,
    async ({ path, handle }, at) => {
      // A file the browser will not give (gone since the walk, or locked)
      // stays in the harvest without its File: the program cannot open it
      // and says so, as for a picked file that cannot be read.
      const file = await handle.getFile().catch(() => null);
      items[at] = { path, file };
      await pause();
    },
    isCurrent,
  );
  return isCurrent() ? items : null;
}
