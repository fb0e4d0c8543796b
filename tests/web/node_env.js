// The suites read settings from the environment (QUORVALE_SOAK_SECONDS), but emscripten's C
// library starts with an environment of its own: node's is copied in before main.
Module['preRun'] = Module['preRun'] || [];
Module['preRun'].push(function() {
  for (var name in process.env) ENV[name] = process.env[name];
});
