// Runs before the game starts. The score table and the recordings live in the browser's
// IndexedDB, read back before the first frame and written back whenever the game has replaced
// a file (its saves end with a rename). A recording to watch comes from ?replay=URL or from a
// file dropped on the page (handed over through sessionStorage and a reload).
Module.arguments = Module.arguments || [];
Module.preRun = Module.preRun || [];
Module.preRun.push(() => {
  const say = (text) => { if (Module.say) Module.say(text); };
  // The table and recordings, and the player's settings (the volume, the calm screen).
  const kept = ['/scores', '/home/web_user/.local/share/koravel', '/home/web_user/.config/koravel'];
  for (const folder of kept) {
    FS.mkdirTree(folder);
    FS.mount(IDBFS, {}, folder);
  }
  // The browser's copy and this page's, one exchange at a time. Another tab of the page may
  // save meanwhile: when it says so, its files are read back here, so that this page's next
  // save merges with what the browser holds now (the game merges the table it finds with its
  // own new entries, and keeps the better best recording, as two games on one desktop do).
  let exchanges = Promise.resolve();
  const exchange = (fromBrowser) => (exchanges = exchanges.then(() =>
    new Promise((resolve) => FS.syncfs(fromBrowser, resolve))));
  const tabs = 'BroadcastChannel' in window ? new BroadcastChannel('koravel-files') : null;
  Module.filesSaved = Module.filesRead = 0;
  addRunDependency('koravel-files');
  exchange(true).then((error) => {
    if (error) say('koravel: the saved scores could not be read (' + error + ')');
    removeRunDependency('koravel-files');
  });
  Module.saveFiles = () => exchange(false).then((error) => {
    if (error) return say('koravel: the scores could not be kept in this browser (' + error + ')');
    ++Module.filesSaved;
    if (tabs) tabs.postMessage('saved');
  });
  if (tabs) {
    tabs.onmessage = () => exchange(true).then((error) => {
      if (error) say('koravel: another tab\'s scores could not be read (' + error + ')');
      else ++Module.filesRead;
    });
  }
  // Kept, not cleared when the browser runs short of room, where the browser agrees.
  if (navigator.storage && navigator.storage.persist) {
    navigator.storage.persist().then((granted) => { Module.storageKept = granted; }, () => {});
  }
  const rename = FS.rename;
  FS.rename = function (from, to) {
    const result = rename.apply(this, arguments);
    if (kept.some((folder) => to.startsWith(folder + '/'))) Module.saveFiles();
    if (Module.onSaved) Module.onSaved(to);
    return result;
  };
  addEventListener('pagehide', () => Module.saveFiles());

  const query = new URLSearchParams(location.search);
  if (query.has('trace')) ENV.KORAVEL_TRACE = '/trace.jsonl';
  if (query.get('trace') === 'entities') ENV.KORAVEL_TRACE_ENTITIES = '1';
  // ?seed=N plays the game of that seed, as KORAVEL_SEED does on the desktop.
  if (query.has('seed')) ENV.KORAVEL_SEED = query.get('seed');
  // Served by koravel-board at /play: finished games go to that board.
  if (/^\/play(\/|$)/.test(location.pathname)) ENV.KORAVEL_BOARD = location.origin;
  // ?daily, served by a board: today's field, under an attempt the board issues now; the first
  // game of the visit is ranked on the day's table.
  if (query.has('daily') && ENV.KORAVEL_BOARD) {
    addRunDependency('koravel-daily');
    fetch(location.origin + '/api/attempts', { method: 'POST' }).then((response) =>
      response.json().catch(() => ({})).then((body) => {
        if (!response.ok || !body.token) throw new Error(body.error || 'the board answered ' + response.status);
        ENV.KORAVEL_SEED = String(body.seed);
        ENV.KORAVEL_ATTEMPT = body.token;
        Module.daily = body;
        say('koravel: the field of ' + body.date + ': your first game is ranked on its table');
      })).catch((error) => {
      say('koravel: today\'s field could not be fetched (' + error.message + '); an ordinary game follows');
    }).finally(() => removeRunDependency('koravel-daily'));
  }
  const watch = (name, bytes) => {
    const file = '/' + (name.replace(/[^A-Za-z0-9._-]/g, '_').slice(-64) || 'recording.kvr');
    FS.writeFile(file, bytes);
    Module.arguments.push('--replay', file);
    Module.watching = true;
    if (Module.onWatch) Module.onWatch(name);
  };
  const dropped = sessionStorage.getItem('koravel-watch');
  if (query.has('watch') && dropped) {
    sessionStorage.removeItem('koravel-watch');
    const { name, data } = JSON.parse(dropped);
    watch(name, Uint8Array.from(atob(data), (c) => c.charCodeAt(0)));
  } else if (query.has('replay')) {
    addRunDependency('koravel-replay');
    const url = query.get('replay');
    fetch(url).then((response) => {
      if (!response.ok) throw new Error('the server answered ' + response.status);
      return response.arrayBuffer();
    }).then((body) => {
      if (body.byteLength > Module.maxRecordingBytes) throw new Error('too large to be a recording');
      watch(url.split(/[/?#]/).filter(Boolean).pop() || 'recording.kvr', new Uint8Array(body));
    }).catch((error) => {
      say('koravel: the recording at ' + url + ' could not be fetched: ' + error.message);
    }).finally(() => removeRunDependency('koravel-replay'));
  }
});

// The largest recording the game accepts, as on the desktop.
Module.maxRecordingBytes = 32 * 1024 * 1024;

// Every trace line so far (with ?trace), for tests.
Module.traceLines = () => {
  try {
    return FS.readFile('/trace.jsonl', { encoding: 'utf8' }).trimEnd().split('\n').filter(Boolean);
  } catch (e) {
    return [];
  }
};

// A kept file as it is now (or null), and one replaced as the game replaces them (written whole
// beside it, then renamed into place), for tests.
Module.keptFile = (path) => {
  try {
    return FS.readFile(path, { encoding: 'utf8' });
  } catch (e) {
    return null;
  }
};
Module.keepFile = (path, text) => {
  FS.writeFile(path + '.tmp', text);
  FS.rename(path + '.tmp', path);
};

// The table and the recordings as one file to keep elsewhere, and such a file taken back: its
// table joins this browser's (the game merges both tables as it starts: the page reloads), its
// best recording replaces the one here only if it scored more, its last only where there is
// none. Returns what became of it, in a line.
const kExported = {
  table: '/scores/hiscores.dat',
  best: '/home/web_user/.local/share/koravel/replays/best.kvr',
  last: '/home/web_user/.local/share/koravel/replays/last.kvr',
};
// Where a table taken back waits to be merged: the user's own table, which the game also reads.
const kImportedTable = '/home/web_user/.local/share/koravel/scores/hiscores.dat';
const base64Of = (bytes) => {
  let text = '';
  for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
  return btoa(text);
};
Module.exportFiles = () => {
  const files = {};
  for (const name of Object.keys(kExported)) { // (no destructuring: Debian's emcc cannot read it)
    try {
      files[name] = base64Of(FS.readFile(kExported[name]));
    } catch (e) {} // not there yet
  }
  return JSON.stringify({ koravel: 1, files });
};
Module.importFiles = (text) => {
  let files;
  try {
    const parsed = JSON.parse(text);
    if (parsed.koravel !== 1 || typeof parsed.files !== 'object' || !parsed.files) throw new Error();
    files = {};
    for (const name of Object.keys(kExported)) {
      const data = parsed.files[name];
      if (data === undefined) continue;
      if (typeof data !== 'string' || data.length > (4 / 3) * Module.maxRecordingBytes + 4) throw new Error();
      files[name] = Uint8Array.from(atob(data), (c) => c.charCodeAt(0));
    }
  } catch (e) {
    return 'koravel: that file holds no scores saved from this page';
  }
  const scoreOf = (bytes) => {
    const m = /^# score (-?[0-9]+)\r?$/m.exec(new TextDecoder().decode(bytes.subarray(0, 4096)));
    return m ? Number(m[1]) : -Infinity;
  };
  const place = (path, bytes) => {
    FS.mkdirTree(path.slice(0, path.lastIndexOf('/')));
    FS.writeFile(path + '.tmp', bytes);
    FS.rename(path + '.tmp', path);
  };
  const here = (path) => { try { return FS.readFile(path); } catch (e) { return null; } };
  if (files.table) place(kImportedTable, files.table);
  const best = here(kExported.best);
  if (files.best && (!best || scoreOf(files.best) > scoreOf(best))) place(kExported.best, files.best);
  if (files.last && !here(kExported.last)) place(kExported.last, files.last);
  return '';
};

// The last game's recording, to download, or null.
Module.lastRecording = () => {
  try {
    return FS.readFile('/home/web_user/.local/share/koravel/replays/last.kvr');
  } catch (e) {
    return null;
  }
};
