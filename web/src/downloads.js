// What the page hands to the user as files: one file through a download
// link, or all the saved .vpf files as one zip.
import { zipSync } from 'fflate';

// Zip entries get one fixed time, so the same harvest gives the same zip.
const ZIP_TIME = new Date(2000, 0, 1);

export function saveBlob(bytes, name, type) {
  const url = URL.createObjectURL(new Blob([bytes], { type }));
  const link = document.createElement('a');
  link.href = url;
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}

// The saved .vpf files under the names the command line gives them.
export function buildZip(instruments) {
  const entries = {};
  for (const instrument of instruments) {
    if (instrument.bytes) entries[instrument.fileName] = [instrument.bytes, { level: 0, mtime: ZIP_TIME }];
  }
  return zipSync(entries, { mtime: ZIP_TIME });
}
