// What a drop holds, as the harvest's items ({path, file}). A dropped folder
// is read through the entries API; every file keeps its path below the
// dropped item. A file dropped by itself is taken from the drop's file list,
// which needs no further read access.

function readAllEntries(reader) {
  return new Promise((resolve, reject) => {
    const all = [];
    const next = () =>
      reader.readEntries((batch) => {
        if (batch.length === 0) resolve(all);
        else {
          all.push(...batch);
          next();
        }
      }, reject);
    next();
  });
}

export async function droppedItems(dataTransfer) {
  const loose = [...dataTransfer.files];
  const entries = [...dataTransfer.items]
    .map((item) => item.webkitGetAsEntry && item.webkitGetAsEntry())
    .filter(Boolean);
  if (entries.length === 0) return loose.map((file) => ({ path: file.name, file }));
  const items = [];
  const visit = async (entry, topLevel) => {
    if (entry.isFile) {
      const at = topLevel ? loose.findIndex((file) => file.name === entry.name) : -1;
      const file =
        at >= 0 ? loose.splice(at, 1)[0] : await new Promise((resolve, reject) => entry.file(resolve, reject));
      items.push({ path: entry.fullPath.replace(/^\//, ''), file });
    } else if (entry.isDirectory) {
      for (const child of await readAllEntries(entry.createReader())) await visit(child, false);
    }
  };
  for (const entry of entries) await visit(entry, true);
  return items;
}
