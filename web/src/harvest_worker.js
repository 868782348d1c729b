// The page's end of the worker that harvests and renders previews: starts
// it and hands each of its messages to `onMessage`.
//
// The worker's script is embedded as text: a page opened from file:// may
// not start a worker from a file, but it may from a Blob.
export function startWorker(source, onMessage, onFailure) {
  const url = URL.createObjectURL(new Blob([source], { type: 'text/javascript' }));
  const worker = new Worker(url);
  URL.revokeObjectURL(url);
  worker.onmessage = (event) => onMessage(event.data);
  worker.onerror = (event) => onFailure(event.message || 'the harvest stopped');
  return worker;
}
