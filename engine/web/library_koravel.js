// The browser's side of engine/web: the canvas, Pointer Lock, keys, focus and Web Audio.
// Events wait in a queue until the game's next poll takes them, as SDL's do on the desktop.
mergeInto(LibraryManager.library, {
  $KoravelWeb: {
    // Kinds numbered as InputEvent::Kind (engine/input.h).
    MOVE_BY: 1, PRESS: 2, RELEASE: 3, KEY_PRESS: 4, KEY_RELEASE: 5,
    events: [],
    // Physical keys to the engine's codes (numbered like Windows virtual keys), the same table
    // the desktop applies to SDL's scancodes.
    keyCode: function(code) {
      let m;
      if (code === 'KeyP' || code === 'Pause') return 19; // the game's pause key, as on the desktop
      if ((m = /^Key([A-Z])$/.exec(code))) return m[1].charCodeAt(0);
      if ((m = /^Digit([0-9])$/.exec(code))) return 48 + Number(m[1]);
      if ((m = /^Numpad([0-9])$/.exec(code))) return 96 + Number(m[1]);
      if ((m = /^F([0-9]+)$/.exec(code)) && m[1] >= 1 && m[1] <= 12) return 111 + Number(m[1]);
      const named = {
        Escape: 27, Enter: 13, NumpadEnter: 13, Backspace: 8, Tab: 9, Space: 32, Minus: 189,
        Equal: 187, NumpadEqual: 187, BracketLeft: 219, BracketRight: 221, Backslash: 226,
        IntlBackslash: 226, Semicolon: 186, Quote: 222, Backquote: 192, Comma: 188, Period: 190,
        Slash: 191, ControlLeft: 162, ControlRight: 163, ShiftLeft: 160, ShiftRight: 161,
        NumpadDecimal: 110, NumpadMultiply: 106, NumpadSubtract: 109, NumpadAdd: 107,
        NumpadDivide: 111, PrintScreen: 44, Home: 36, ArrowUp: 38, PageUp: 33, ArrowLeft: 37,
        ArrowRight: 39, End: 35, ArrowDown: 40, PageDown: 34, Insert: 45, Delete: 46,
      };
      return named[code] || 0;
    },
    push: function(kind, a, b) { KoravelWeb.events.push([kind, a | 0, b | 0]); },
    say: function(text) { if (Module.say) Module.say(text); },
    // What happened to the mouse and the focus, for tests that wonder why.
    note: function(what) {
      const log = Module.webLog || (Module.webLog = []);
      log.push(Math.round(performance.now()) + ' ' + what);
      if (log.length > 100) log.shift();
    },

    open: function(width, height) {
      const k = KoravelWeb;
      const canvas = document.getElementById('screen');
      canvas.width = width;
      canvas.height = height;
      k.canvas = canvas;
      k.context = canvas.getContext('2d', { alpha: false });
      k.locked = false;
      k.restX = 0;
      k.restY = 0;
      k.lastEscape = -1e9;
      k.escapeTimer = null;
      k.blurred = false;
      if (!('requestPointerLock' in canvas) && !Module.touchScreen) {
        k.say('This browser has no Pointer Lock, which the game needs to follow the mouse.');
      }
      // The click that takes the mouse is not the game's: the player sees the screen first.
      canvas.addEventListener('mousedown', (e) => {
        k.startAudio();
        if (!k.locked) {
          if (canvas.requestPointerLock) canvas.requestPointerLock();
          return;
        }
        if (e.button === 0) k.push(k.PRESS, 1, 0);
      });
      document.addEventListener('mouseup', (e) => {
        if (k.locked && e.button === 0) k.push(k.RELEASE, 1, 0);
      });
      // Motion in the picture's own pixels, whole ones only, the rest kept for the next move.
      k.moveBy = (cssX, cssY) => {
        const scale = width / Math.max(1, canvas.clientWidth);
        k.restX += cssX * scale;
        k.restY += cssY * scale;
        const dx = Math.trunc(k.restX), dy = Math.trunc(k.restY);
        k.restX -= dx;
        k.restY -= dy;
        const limit = 100000; // far beyond the screen: the input layer clamps the pointer
        if (dx || dy) k.push(k.MOVE_BY, Math.max(-limit, Math.min(limit, dx)),
                             Math.max(-limit, Math.min(limit, dy)));
      };
      document.addEventListener('mousemove', (e) => {
        if (k.locked) k.moveBy(e.movementX, e.movementY);
      });
      // A finger steers as on a trackpad: its motion moves the point, in the picture's own
      // pixels as the mouse's does; a short touch that hardly moves is a click. No Pointer Lock
      // on touch: the page's Escape control gives the key.
      const finger = { id: null, x: 0, y: 0, start: 0, travel: 0 };
      const touchOf = (e) => Array.from(e.changedTouches).find((t) => t.identifier === finger.id);
      canvas.addEventListener('touchstart', (e) => {
        e.preventDefault(); // no scrolling, zooming or mouse events made up from the touch
        k.touched = true;
        k.startAudio();
        if (finger.id !== null) return;
        const t = e.changedTouches[0];
        Object.assign(finger, { id: t.identifier, x: t.clientX, y: t.clientY, start: performance.now(), travel: 0 });
        k.restX = k.restY = 0;
      }, { passive: false });
      canvas.addEventListener('touchmove', (e) => {
        e.preventDefault();
        const t = touchOf(e);
        if (!t) return;
        const dx = t.clientX - finger.x, dy = t.clientY - finger.y;
        finger.x = t.clientX;
        finger.y = t.clientY;
        finger.travel += Math.abs(dx) + Math.abs(dy);
        k.moveBy(dx, dy);
      }, { passive: false });
      const lift = (e) => {
        const t = touchOf(e);
        if (!t) return;
        e.preventDefault();
        if (e.type === 'touchend' && finger.travel < 8 && performance.now() - finger.start < 400) {
          k.push(k.PRESS, 1, 0);
          k.push(k.RELEASE, 1, 0);
        }
        finger.id = null;
      };
      canvas.addEventListener('touchend', lift, { passive: false });
      canvas.addEventListener('touchcancel', lift, { passive: false });
      // A key the page presses for the player is held down a moment, as a finger holds one:
      // the screens that look whether Escape is down (the attract screens end at once while it
      // is) see it at their next poll, not only the loop that counts its presses.
      k.tapKey = (code) => {
        k.push(k.KEY_PRESS, code, 0);
        setTimeout(() => k.push(k.KEY_RELEASE, code, 0), 150);
      };
      Module.pressEscape = () => k.tapKey(27);
      // The last picture as the game drew it, before any thickening, for tests.
      Module.gamePicture = () => (k.shown ? Array.from(k.shown) : null);
      // The page's pause control, as the P key.
      Module.pressPause = () => {
        k.push(k.KEY_PRESS, 19, 0);
        k.push(k.KEY_RELEASE, 19, 0);
      };
      document.addEventListener('keydown', (e) => {
        const code = k.keyCode(e.code);
        if (e.code === 'Escape') {
          k.lastEscape = performance.now();
          if (k.escapeTimer) { clearTimeout(k.escapeTimer); k.escapeTimer = null; }
        }
        // The keyboard is the page's (Tab, Enter, Space on its buttons) unless the game holds
        // the pointer.
        if (!code || e.repeat || !(k.locked || k.touched)) return;
        // The browser keeps its own keys (F11 for full screen, Ctrl+R, ...).
        if (!/^F[0-9]+$/.test(e.code) && !e.ctrlKey && !e.altKey && !e.metaKey) e.preventDefault();
        k.push(k.KEY_PRESS, code, 0);
      });
      document.addEventListener('keyup', (e) => {
        const code = k.keyCode(e.code);
        if (code) k.push(k.KEY_RELEASE, code, 0);
      });
      // The browser ends the lock on Escape and may keep the key to itself: a lock lost while
      // the page keeps the focus, with no Escape key seen around it, is that Escape press.
      document.addEventListener('pointerlockchange', () => {
        const now = document.pointerLockElement === canvas;
        if (k.locked && !now && performance.now() - k.lastEscape > 250) {
          k.escapeTimer = setTimeout(() => {
            k.escapeTimer = null;
            if (k.blurred || document.hidden) return;
            k.note('the lock was lost: Escape');
            k.tapKey(27);
          }, 100);
        }
        k.note(now ? 'locked' : 'unlocked');
        k.locked = now;
        k.restX = k.restY = 0;
        if (Module.onLock) Module.onLock(now);
      });
      document.addEventListener('pointerlockerror', () => {
        k.say('The browser refused to lock the mouse: click the picture to try again.');
      });
      // A hidden tab, or another window in front, pauses the game as focus loss does.
      document.addEventListener('visibilitychange', () => { if (!document.hidden) k.resetAudio(); });
      window.addEventListener('blur', () => { k.blurred = true; k.note('blur'); });
      window.addEventListener('focus', () => { k.blurred = false; k.resetAudio(); k.note('focus'); });
    },

    // The picture's lines drawn `reach` pixels wider on each side (each colour the brightest of
    // its neighbours'), so that scaled far below half size none falls between the pixels the
    // browser keeps. Two passes, along the rows and then down the columns.
    thickened: function(view, reach, width) {
      const k = KoravelWeb, n = view.length, row = 4 * width;
      if (!k.wide || k.wide.length !== n) {
        k.wide = new Uint8ClampedArray(n);
        k.thick = new Uint8ClampedArray(n);
      }
      const wide = k.wide, thick = k.thick;
      for (let i = 0; i < n; ++i) {
        let m = view[i];
        if ((i & 3) !== 3) {
          const x = (i % row) >> 2;
          for (let d = 1; d <= reach; ++d) {
            if (x - d >= 0 && view[i - 4 * d] > m) m = view[i - 4 * d];
            if (x + d < width && view[i + 4 * d] > m) m = view[i + 4 * d];
          }
        }
        wide[i] = m;
      }
      for (let i = 0; i < n; ++i) {
        let m = wide[i];
        if ((i & 3) !== 3) {
          for (let d = 1; d <= reach; ++d) {
            if (i - d * row >= 0 && wide[i - d * row] > m) m = wide[i - d * row];
            if (i + d * row < n && wide[i + d * row] > m) m = wide[i + d * row];
          }
        }
        thick[i] = m;
      }
      return thick;
    },

    // Web Audio at the game's own rate. The mixer runs on this thread, a little ahead of what
    // is heard; the output (an AudioWorklet, or a ScriptProcessor where that is all there is)
    // plays what it is handed and silence when it runs short.
    leadFrames: 4096,
    startAudio: function() {
      const k = KoravelWeb;
      if (k.audio || !(window.AudioContext || window.webkitAudioContext)) {
        if (k.audio && k.audio.ctx.state === 'suspended') k.audio.ctx.resume();
        return;
      }
      const Context = window.AudioContext || window.webkitAudioContext;
      const ctx = new Context({ sampleRate: 44100 });
      const a = k.audio = { ctx, sent: 0, queue: [], port: null, ready: false };
      const worklet = `
        class Out extends AudioWorkletProcessor {
          constructor() { super(); this.queue = []; this.at = 0;
            this.port.onmessage = (e) => this.queue.push(e.data); }
          process(inputs, outputs) {
            const [l, r] = outputs[0];
            for (let i = 0; i < l.length; ++i) {
              while (this.queue.length && this.at >= this.queue[0].length / 2) {
                this.queue.shift(); this.at = 0; }
              if (!this.queue.length) { l[i] = r[i] = 0; continue; }
              const c = this.queue[0]; l[i] = c[2 * this.at]; r[i] = c[2 * this.at + 1]; ++this.at;
            }
            return true;
          }
        }
        registerProcessor('koravel-out', Out);`;
      if (ctx.audioWorklet) {
        const url = URL.createObjectURL(new Blob([worklet], { type: 'text/javascript' }));
        ctx.audioWorklet.addModule(url).then(() => {
          const node = new AudioWorkletNode(ctx, 'koravel-out', { outputChannelCount: [2] });
          node.connect(ctx.destination);
          a.port = node.port;
          a.ready = true;
        }, () => k.scriptProcessor());
      } else {
        k.scriptProcessor();
      }
      ctx.resume();
    },
    scriptProcessor: function() {
      const a = KoravelWeb.audio;
      const node = a.ctx.createScriptProcessor(1024, 0, 2);
      let at = 0;
      node.onaudioprocess = (e) => {
        const l = e.outputBuffer.getChannelData(0), r = e.outputBuffer.getChannelData(1);
        for (let i = 0; i < l.length; ++i) {
          while (a.queue.length && at >= a.queue[0].length / 2) { a.queue.shift(); at = 0; }
          if (!a.queue.length) { l[i] = r[i] = 0; continue; }
          const c = a.queue[0]; l[i] = c[2 * at]; r[i] = c[2 * at + 1]; ++at;
        }
      };
      node.connect(a.ctx.destination);
      a.ready = true;
    },
    resetAudio: function() {
      const a = KoravelWeb.audio;
      if (a) a.sent = 0;
    },
    // Mixes what the output will need until a little after now.
    feedAudio: function(mix) {
      const a = KoravelWeb.audio;
      if (!a || !a.ready || a.ctx.state !== 'running') return;
      const heard = Math.floor(a.ctx.currentTime * 44100);
      if (a.sent < heard) a.sent = heard; // fell behind (a stall): what was missed stays missed
      const frames = Math.min(heard + KoravelWeb.leadFrames - a.sent, 8192);
      if (frames < 512) return;
      const pcm = mix(frames);
      const out = new Float32Array(frames * 2);
      let peak = Module.audioPeak || 0;
      for (let i = 0; i < frames * 2; ++i) {
        out[i] = pcm[i] / 32768;
        peak = Math.max(peak, Math.abs(pcm[i]));
      }
      a.sent += frames;
      Module.audioFrames = (Module.audioFrames || 0) + frames; // for tests: what was heard
      Module.audioPeak = peak;
      if (a.port) a.port.postMessage(out, [out.buffer]); else a.queue.push(out);
    },
  },

  koravel_web_open__deps: ['$KoravelWeb'],
  koravel_web_open: function(width, height) { KoravelWeb.open(width, height); },

  // Writes the oldest waiting event as three ints (kind, a, b); 0 when there is none.
  koravel_web_next_event__deps: ['$KoravelWeb'],
  koravel_web_next_event: function(out) {
    const e = KoravelWeb.events.shift();
    if (!e) return 0;
    HEAP32[out >> 2] = e[0];
    HEAP32[(out >> 2) + 1] = e[1];
    HEAP32[(out >> 2) + 2] = e[2];
    return 1;
  },

  koravel_web_touch__deps: ['$KoravelWeb'],
  koravel_web_touch: function() { return KoravelWeb.touched ? 1 : 0; },

  // The first pad the browser knows: its left stick (thousandths, kind 10) and its A and Start
  // buttons (kind 11: 0 A, 1 Start) when they change; its cross as the arrow keys.
  koravel_web_poll_pads__deps: ['$KoravelWeb'],
  koravel_web_poll_pads: function() {
    const k = KoravelWeb;
    const pads = navigator.getGamepads ? Array.from(navigator.getGamepads() || []) : [];
    const pad = pads.find((p) => p && p.connected);
    if (!pad) return;
    const x = Math.round((pad.axes[0] || 0) * 1000), y = Math.round((pad.axes[1] || 0) * 1000);
    if (x !== (k.padX || 0) || y !== (k.padY || 0)) { k.padX = x; k.padY = y; k.push(10, x, y); }
    const pressed = (i) => !!(pad.buttons[i] && pad.buttons[i].pressed);
    const was = k.padButtons || (k.padButtons = {});
    const changed = (i) => { const now = pressed(i); const c = now !== !!was[i]; was[i] = now; return c; };
    if (changed(0)) k.push(11, 0, was[0] ? 1 : 0);
    if (changed(9)) k.push(11, 1, was[9] ? 1 : 0);
    // Up, down, left, right on the standard layout.
    [[12, 38], [13, 40], [14, 37], [15, 39]].forEach(([i, arrow]) => {
      if (changed(i)) k.push(was[i] ? k.KEY_PRESS : k.KEY_RELEASE, arrow, 0);
    });
  },

  koravel_web_away__deps: ['$KoravelWeb'],
  koravel_web_away: function() { return document.hidden || KoravelWeb.blurred ? 1 : 0; },

  koravel_web_present__deps: ['$KoravelWeb'],
  // The picture straight from the game's memory, no copy on this side; onPresent hears when,
  // and how long the game worked on it since its last sleep.
  koravel_web_present: function(pixels, bytes) {
    const k = KoravelWeb;
    const canvas = k.canvas;
    const view = new Uint8ClampedArray(HEAPU8.buffer, pixels, bytes);
    k.shown = view;
    const reach = window.koravelThicken || 0; // the page's, below half size
    k.context.putImageData(new ImageData(reach ? k.thickened(view, reach, canvas.width) : view,
                                         canvas.width, canvas.height), 0, 0);
    const now = performance.now();
    if (Module.onPresent) Module.onPresent(now, k.wokeAt === undefined ? 0 : now - k.wokeAt);
  },

  // koravel_web_mix(frames) returns where the mixer left that many stereo 16-bit frames.
  koravel_web_feed_audio__deps: ['$KoravelWeb', 'koravel_web_mix'],
  koravel_web_feed_audio: function() {
    KoravelWeb.feedAudio((frames) => {
      const ptr = _koravel_web_mix(frames);
      return HEAP16.subarray(ptr >> 1, (ptr >> 1) + frames * 2);
    });
  },

  koravel_web_awake__deps: ['$KoravelWeb'],
  koravel_web_awake: function() { KoravelWeb.wokeAt = performance.now(); },

  // A finished game to a board, in the background: retried while the board is busy (429),
  // one line on the page when it is done.
  koravel_web_submit__deps: ['$KoravelWeb'],
  koravel_web_submit: function(url, recording, score) {
    const base = UTF8ToString(url), text = UTF8ToString(recording);
    const say = (line) => KoravelWeb.say('koravel: ' + line);
    const later = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
    const refused = (status, body) => say('the board refused the game: ' + ((body && body.error) || 'status ' + status));
    // The board answers at once with a submission to follow until its verdict.
    const follow = (location, poll) => fetch(base + location).then((response) =>
      response.json().catch(() => ({})).then((body) => {
        if (response.ok && body.state === 'refused') return refused(response.status, body);
        if (response.ok && body.state === 'stored') {
          const game = body.stored || {};
          const ranking = game.ranked ? ', ranked on the table of ' + game.day
            : game.unrankedCode && game.unrankedCode !== 'none' ? ', not ranked: ' + game.unranked : '';
          return say(`the board ${body.new ? 'has' : 'already had'} your game of ${score} points` +
                     `${game.name ? ' as ' + game.name : ''} (game ${body.game})${ranking}`);
        }
        if (!response.ok && response.status !== 503) return refused(response.status, body);
        if (poll >= 1200) return say('the board has the game but gave no verdict yet');
        return later(poll < 20 ? 100 : 500).then(() => follow(location, poll + 1));
      }));
    const send = (attempt) => fetch(base + '/api/games?game=last', {
      method: 'POST', headers: { 'Content-Type': 'application/octet-stream' }, body: text,
    }).then((response) => {
      if ((response.status === 429 || response.status === 503) && attempt < 20)
        return later(500 * (attempt + 1)).then(() => send(attempt + 1));
      if (response.status === 202 && response.headers.get('Location'))
        return follow(response.headers.get('Location'), 0);
      return response.json().catch(() => ({})).then((body) => refused(response.status, body));
    }).catch((error) => say('the board could not be reached (' + error.message + ')'));
    send(0);
  },

  koravel_web_closed__deps: ['$KoravelWeb'],
  koravel_web_closed: function() {
    if (document.exitPointerLock) document.exitPointerLock();
    if (KoravelWeb.audio) KoravelWeb.audio.ctx.close();
    if (Module.onGameEnd) Module.onGameEnd();
  },
});
