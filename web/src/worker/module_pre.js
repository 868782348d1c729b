// The harvest's module inside the page's worker: every line the program
// prints goes to the page as it is printed. (Placed before the module's code.)
Module['print'] = (text) => postMessage({ type: 'line', text });
Module['printErr'] = (text) => postMessage({ type: 'diagnostic', text });
Module['timbrexReady'] = new Promise((resolve) => {
  Module['onRuntimeInitialized'] = resolve;
});
