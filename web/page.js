// The page around the game: loads quorvale.js with its data, shows the download's progress,
// starts the game's sound and pointer with a click, keeps the canvas at the size the window
// allows, mirrors the game's output in the console and the log, and says what happened when
// the game cannot start or stops. window.quorvale tells tests where the page is.
(function () {
  'use strict';

  var CANVAS_W = 800, CANVAS_H = 600;  // the canvas size while the window has room for it
  var LOG_LINES_MAX = 1000;
  var RESTORE_WAIT_MS = 5000;  // how long a lost WebGL context may take to come back

  var page = window.quorvale = {
    ready: false,        // the game has drawn its first frame
    state: 'loading',    // 'loading', 'menu', 'paused', 'playing', 'ended' or 'error'
    started: false,      // the player clicked (or pressed a key) to play
    stopped: false,      // the game is no longer running
    exitStatus: null,    // its exit status once stopped by exit, 0..255
    error: null,         // what stopped it or kept it from starting
    readyMs: null,       // milliseconds from opening the page to the first frame
    pointerLocked: false,
    fullscreen: false,
    canvas: {width: CANVAS_W, height: CANVAS_H},
    audio: {state: 'none', frames: 0},  // the audio context's state; sample frames with sound played
    // A still frame's terrain comes back from a copy of the last frame's (false: drawn in full
    // every frame, as the drawing layer's test compares); frames that started from the copy.
    keepBackdrop: true,
    backdropFrames: 0,
    // 'ok'; 'lost' while the browser has taken the WebGL context away (the game pauses and
    // draws nothing); 'failed' once it has not come back within RESTORE_WAIT_MS; and the times
    // the game made its graphics again after the context came back.
    graphics: 'ok',
    graphicsRestores: 0,
    savedReplay: null,   // the file name of the last replay downloaded
    replayStatus: null,  // 0 when the last replay opened, 2 when it could not be
    opponent: false,     // the game is played against the computer (?opponent=1)
    // A game against a player on another machine through the server the page came from:
    // 'host' (?host=1) or 'join' (?join=CODE), else null; the game's code once known.
    network: null,
    gameCode: null
  };

  var el = function (id) { return document.getElementById(id); };
  var canvas = el('canvas'), game = el('game'), log = el('log');
  var recentErrors = [];

  function addLog(text, isError) {
    var line = document.createElement('span');
    line.textContent = text + '\n';
    if (isError)
      line.className = 'err';
    log.appendChild(line);
    while (log.childNodes.length > LOG_LINES_MAX)
      log.removeChild(log.firstChild);
    if (!log.hidden)
      log.scrollTop = log.scrollHeight;
  }

  function showMessage(text, isError) {
    var message = el('message');
    message.textContent = text;
    message.className = 'overlay' + (isError ? ' error' : '');
    message.hidden = false;
    el('loading').hidden = true;
    el('start').hidden = true;
    el('hint').hidden = true;
  }

  function stop(state, error, text) {
    if (page.stopped)
      return;
    page.stopped = true;
    page.state = state;
    clearTimeout(restoreTimer);
    el('graphics').hidden = true;
    page.error = error;
    if (document.pointerLockElement)
      document.exitPointerLock();
    showMessage(text, state === 'error');
  }

  // Stops with an error; `withOutput` adds the game's last error lines, which tell why.
  function failed(error, withOutput) {
    var detail = withOutput && recentErrors.length ? '\n\n' + recentErrors.slice(-4).join('\n') : '';
    stop('error', error, 'Quorvale stopped with an error: ' + error + '.' + detail +
         '\n\nThe log below the game has everything it printed. Reload the page to try again.');
  }

  function webglAvailable() {
    try {
      var probe = document.createElement('canvas');
      return !!(window.WebGLRenderingContext &&
                (probe.getContext('webgl') || probe.getContext('experimental-webgl')));
    } catch (e) {
      return false;
    }
  }

  // The canvas keeps 800 x 600 while the window holds it, shrinks with a smaller window and
  // covers the screen in fullscreen. The game takes the size at its next frame.
  function wantedCanvasSize() {
    if (page.fullscreen)
      return [Math.max(1, game.clientWidth), Math.max(1, game.clientHeight)];
    var room = document.documentElement.clientWidth - 32;
    var header = document.querySelector('header').offsetHeight;
    var height = window.innerHeight - header - 16;
    return [Math.max(1, Math.min(CANVAS_W, room)), Math.max(1, Math.min(CANVAS_H, height))];
  }

  function fullscreenElement() {
    return document.fullscreenElement || document.webkitFullscreenElement || null;
  }

  function toggleFullscreen() {
    if (fullscreenElement()) {
      (document.exitFullscreen || document.webkitExitFullscreen).call(document);
      return;
    }
    var request = game.requestFullscreen || game.webkitRequestFullscreen;
    if (!request) {
      console.error('This browser has no fullscreen mode for pages');
      return;
    }
    var result = request.call(game);
    if (result && result.catch)
      result.catch(function (e) { console.error('Fullscreen was refused: ' + e.message); });
  }

  function onResize() {
    page.fullscreen = fullscreenElement() === game;
    Module.canvasSize = wantedCanvasSize();
  }

  function resumeAudio() {
    var audio = Module.quorvaleAudio;
    if (audio && audio.context.state === 'suspended')
      audio.context.resume();
  }

  function start() {
    if (page.started || !page.ready || page.stopped)
      return;
    page.started = true;
    el('start').hidden = true;
    resumeAudio();
    canvas.focus();
  }

  // The browser may take the WebGL context away (a driver reset, a switch of graphics chips, a
  // background tab on a phone, too many contexts). The page declares that the game restores
  // its drawing, says what happened over the canvas and offers a reload if the context does
  // not come back. The game itself pauses and draws nothing until it does (platform_web.cpp).
  var restoreTimer = null;
  function showGraphics(text, offerReload) {
    el('graphics-text').textContent = text;
    el('reload').hidden = !offerReload;
    el('graphics').hidden = false;
  }
  canvas.addEventListener('webglcontextlost', function (event) {
    event.preventDefault();
    if (page.stopped)
      return;
    page.graphics = 'lost';
    console.log('The WebGL context was lost');
    showGraphics('The graphics were reset; restoring…', false);
    clearTimeout(restoreTimer);
    restoreTimer = setTimeout(function () {
      if (page.graphics !== 'lost' || page.stopped)
        return;
      page.graphics = 'failed';
      showGraphics('The graphics were reset and have not come back.\n\nReload the page to ' +
                   'play again; the game in progress is lost.', true);
    }, RESTORE_WAIT_MS);
  });
  el('reload').addEventListener('click', function () { location.reload(); });

  // Called by the game once it has made its graphics again on the restored context.
  function onGraphicsRestored() {
    clearTimeout(restoreTimer);
    page.graphics = 'ok';
    page.graphicsRestores++;
    el('graphics').hidden = true;
    console.log('The WebGL context is back');
  }

  var stateNames = {1: 'playing', 3: 'paused', 4: 'menu'};

  // Called by the game after every frame with its state (shell.h's ProgramState), whether it
  // holds the pointer, and the canvas size it drew at.
  function onFrame(state, grabbed, w, h) {
    if (!page.ready) {
      page.ready = true;
      page.readyMs = Math.round(performance.now());
      el('progress').value = 1;
      el('loading').hidden = true;
      el('start').hidden = false;
    }
    if (page.stopped)
      return;
    page.state = stateNames[state] || page.state;
    page.canvas.width = w;
    page.canvas.height = h;
    var input = Module.quorvaleInput;
    page.pointerLocked = !!(input && input.locked);
    var audio = Module.quorvaleAudio;
    if (audio) {
      page.audio.state = audio.context.state;
      page.audio.frames = audio.frames;
    }
    var hint = !(grabbed && page.started && input && !input.locked && !input.pending);
    if (el('hint').hidden !== hint)
      el('hint').hidden = hint;
  }

  // The mode comes from the address, so a link can start any of them (a host sends
  // ?join=CODE to a friend); the game reads it as the desktop game reads its command line.
  var params = new URLSearchParams(window.location.search);
  var joinCode = (params.get('join') || '').trim().toUpperCase();
  page.network = joinCode ? 'join' : params.get('host') === '1' ? 'host' : null;
  page.opponent = !page.network && params.get('opponent') === '1';
  var modeLink = page.network === 'host' ? 'mode-host' : page.opponent ? 'mode-opponent' :
                 page.network ? null : 'mode-both';
  if (modeLink)
    el(modeLink).setAttribute('aria-current', 'page');
  el('mode-note').hidden = !page.opponent;
  if (page.network) {
    el('join-code').value = joinCode;
    showNetNote(page.network === 'host' ?
      'You host: you command the orange party, your friend the green one. Waiting for the server…' :
      'You join game ' + joinCode + ': you command the green party, the host the orange one.');
  }
  // The server that serves the page also runs the games, on the same port: ws: beside http:,
  // wss: beside https: (a TLS proxy in front of it).
  var serverUrl = (location.protocol === 'https:' ? 'wss://' : 'ws://') + location.host;
  var networkArgs = page.network === 'host' ? ['--host', serverUrl] :
                    page.network === 'join' ? ['--join', serverUrl, joinCode] : [];

  function showNetNote(text) {
    var note = el('net-note');
    note.textContent = text;
    note.hidden = false;
  }

  // The host is told the code in the game and here, with the link that joins at once.
  function onGameLine(text) {
    var code = /^Game code: ([A-Z]{5})$/.exec(text);
    if (!code || page.network !== 'host' || page.gameCode)
      return;
    page.gameCode = code[1];
    var link = location.origin + location.pathname + '?join=' + page.gameCode;
    showNetNote('Game code: ' + page.gameCode + '\nYou command the orange party. Your friend ' +
                'joins with the code, or with this link:');
    var a = document.createElement('a');
    a.id = 'join-link';
    a.href = link;
    a.textContent = link;
    el('net-note').appendChild(document.createElement('br'));
    el('net-note').appendChild(a);
  }

  // Every game is recorded into the page's memory, so that "Save replay" can download it.
  var replayDir = '/replays';
  window.Module = {
    arguments: ['--record', replayDir].concat(page.opponent ? ['--opponent'] : [], networkArgs),
    preRun: [function () { Module.FS.mkdir(replayDir); }],
    canvas: canvas,
    canvasSize: wantedCanvasSize(),
    toggleFullscreen: toggleFullscreen,
    onFrame: onFrame,
    onGraphicsRestored: onGraphicsRestored,
    print: function (text) {
      console.log(text);
      addLog(text, false);
      onGameLine(text);
    },
    printErr: function (text) {
      console.error(text);
      addLog(text, true);
      // emscripten's own notes on its OpenGL emulation say nothing about a failure.
      if (!/^WARNING: using emscripten GL/.test(text))
        recentErrors.push(text);
      if (recentErrors.length > 20)
        recentErrors.shift();
    },
    setStatus: function (text) {
      if (page.ready || !text)
        return;
      var progress = /\(([\d.]+)\/([\d.]+)\)/.exec(text);
      if (progress && +progress[2] > 0) {
        el('progress').value = +progress[1] / +progress[2];
        el('status').textContent = 'Downloading the game… ' +
          (+progress[1] / 1e6).toFixed(1) + ' of ' +
          (+progress[2] / 1e6).toFixed(1) + ' MB';
      } else {
        el('status').textContent = text;
      }
    },
    onAudioOpen: function (audio) {
      page.audio.state = audio.context.state;
      audio.context.addEventListener('statechange', function () {
        page.audio.state = audio.context.state;
      });
      if (page.started)
        resumeAudio();
    },
    onExit: function (status) {
      page.exitStatus = status & 255;
      if (status === 0)
        stop('ended', null, 'Quorvale has ended.\n\nReload the page to play again.');
      else
        failed('exit status ' + (status & 255), true);
    },
    onAbort: function (what) {
      failed(String(what || 'aborted'), true);
    }
  };

  // Errors outside the game's own calls: a download that failed, a crash in a frame.
  window.addEventListener('error', function (event) {
    var text = String(event.message || event.error || 'unknown error');
    if (!page.ready && /\.data\b|NetworkError|Not Found/i.test(text))
      failed('its data could not be downloaded (' + text.replace(/^Uncaught (Error: )?/, '') + ')');
    else
      failed(text.replace(/^Uncaught /, ''), true);
  });

  // The first click or key press once the menu is there starts the game's sound and lets it
  // hold the pointer; no key reaches the game before, that one included. Later ones wake a
  // suspended audio context.
  el('start').addEventListener('click', start);
  function keyBeforeStart(event) {
    // Typing a game code belongs to its field alone, before and after the start.
    if (event.target instanceof HTMLInputElement) {
      event.stopImmediatePropagation();
      return;
    }
    if (page.started || page.stopped)
      return;
    event.stopImmediatePropagation();
    if (page.ready) {
      event.preventDefault();
      if (event.type === 'keydown')
        start();
    }
  }
  window.addEventListener('keydown', keyBeforeStart, true);
  window.addEventListener('keyup', keyBeforeStart, true);
  window.addEventListener('pointerdown', resumeAudio, true);
  window.addEventListener('keydown', resumeAudio, true);

  canvas.addEventListener('contextmenu', function (event) { event.preventDefault(); });
  el('fullscreen').addEventListener('click', function (event) {
    toggleFullscreen();
    event.currentTarget.blur();
  });
  el('log-toggle').addEventListener('click', function (event) {
    log.hidden = !log.hidden;
    event.currentTarget.textContent = log.hidden ? 'Show log' : 'Hide log';
    event.currentTarget.setAttribute('aria-expanded', String(!log.hidden));
    event.currentTarget.blur();
    log.scrollTop = log.scrollHeight;
  });
  // Replays: the game so far downloaded; a file chosen or dropped on the canvas watched.
  el('save-replay').addEventListener('click', function (event) {
    event.currentTarget.blur();
    if (!page.ready || page.stopped)
      return;
    var path = Module.ccall('quorvale_replay_file', 'string', [], []);
    if (!path) {
      addLog('No game to save yet: play one first.', true);
      return;
    }
    var blob = new Blob([Module.FS.readFile(path)], { type: 'application/octet-stream' });
    var link = document.createElement('a');
    link.href = URL.createObjectURL(blob);
    link.download = path.replace(/^.*\//, '');
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(function () { URL.revokeObjectURL(link.href); }, 10000);
    page.savedReplay = link.download;
  });
  function watchReplay(file) {
    if (!file || !page.ready || page.stopped)
      return;
    file.arrayBuffer().then(function (buffer) {
      var path = replayDir + '/watched.qrep';
      Module.FS.writeFile(path, new Uint8Array(buffer));
      page.replayStatus = Module.ccall('quorvale_watch_replay', 'number', ['string'], [path]);
      if (page.replayStatus !== 0) {
        log.hidden = false;
        addLog(file.name + ' cannot be watched (see above).', true);
      }
    });
  }
  el('watch-replay').addEventListener('click', function (event) {
    event.currentTarget.blur();
    el('replay-file').click();
  });
  el('replay-file').addEventListener('change', function (event) {
    watchReplay(event.target.files[0]);
    event.target.value = '';
  });
  canvas.addEventListener('dragover', function (event) { event.preventDefault(); });
  canvas.addEventListener('drop', function (event) {
    event.preventDefault();
    watchReplay(event.dataTransfer.files[0]);
  });
  window.addEventListener('resize', onResize);
  document.addEventListener('fullscreenchange', onResize);
  document.addEventListener('webkitfullscreenchange', onResize);

  if (!webglAvailable()) {
    stop('error', 'webgl', 'Quorvale needs WebGL, which this browser does not offer or has ' +
         'turned off.\n\nTry a current Firefox, Chrome, Edge or Safari with hardware ' +
         'acceleration (or WebGL) enabled.');
    return;
  }
  var script = document.createElement('script');
  script.src = 'quorvale.js';
  script.onerror = function () { failed('quorvale.js could not be downloaded'); };
  document.body.appendChild(script);
})();
