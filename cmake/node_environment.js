// emscripten's getenv sees only an environment of its own making: the Node
// process's variables (KELVO_THREADS and the rest) are copied into it before
// main. In a browser there is no process, and nothing to copy.
if (typeof process === 'object' && process.env) {
  Module['preRun'] = [].concat(Module['preRun'] || [], function () {
    if (typeof ENV === 'object') Object.assign(ENV, process.env);
  });
}
