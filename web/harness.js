// What the browser test and the browser benchmark share: the page served on loopback from a
// build folder (with extra files for the test at /fixtures/), and headless Chromium driven by
// playwright-core. Never lets playwright fetch a browser: Debian's chromium is the one used.
const http = require('http');
const fs = require('fs');
const path = require('path');
const { chromium } = require('playwright-core');

const types = {
  '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
  '.data': 'application/octet-stream', '.kvr': 'application/octet-stream', '.png': 'image/png',
  '.webmanifest': 'application/manifest+json',
};

// Serves `root` and `fixtures` (a map of name to bytes) on 127.0.0.1; resolves to the server.
function serve(root, fixtures = {}) {
  const server = http.createServer((request, response) => {
    const url = new URL(request.url, 'http://127.0.0.1');
    const name = decodeURIComponent(url.pathname);
    let body = null;
    if (name.startsWith('/fixtures/')) {
      body = fixtures[name.slice('/fixtures/'.length)] || null;
    } else if (/^\/(icons\/)?[A-Za-z0-9._-]+$/.test(name) || name === '/') {
      const file = path.join(root, name === '/' ? 'index.html' : name);
      if (fs.existsSync(file)) body = fs.readFileSync(file);
    }
    if (!body) {
      response.writeHead(404);
      response.end();
      return;
    }
    response.writeHead(200, { 'Content-Type': types[path.extname(name)] || 'text/html' });
    response.end(body);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

async function launch() {
  return chromium.launch({
    executablePath: process.env.KORAVEL_CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--autoplay-policy=no-user-gesture-required'],
  });
}

// Waits until `test` (run in the page) is true, polling; fails with `what` after `seconds`.
async function waitFor(page, test, what, seconds = 60, arg = null) {
  try {
    await page.waitForFunction(test, arg, { polling: 50, timeout: seconds * 1000 });
  } catch (e) {
    const state = await page.evaluate(() => JSON.stringify({
      module: typeof Module, frames: window.Module && Module.frames,
      waitingFor: window.Module && Module.dependenciesLeft, ended: window.Module && Module.ended,
      message: document.getElementById('message').textContent, url: location.href,
      log: window.Module && Module.webLog,
    })).catch((error) => `(the page cannot say: ${error.message})`);
    throw new Error(`waiting for ${what}: ${e.message.split('\n')[0]}\n  the page: ${state}`);
  }
}

// The screen named by the game's last trace line (pages loaded with ?trace).
async function screen(page) {
  return page.evaluate(() => {
    const lines = Module.traceLines();
    const m = /"screen":"([a-z]+)"/.exec(lines[lines.length - 1] || '');
    return m ? m[1] : '';
  });
}

async function waitScreen(page, wanted, what, seconds = 60) {
  for (let i = 0; i < seconds * 10; ++i) {
    if (wanted.includes(await screen(page))) return;
    await page.waitForTimeout(100);
  }
  throw new Error(`waiting for ${what}: the screen is '${await screen(page)}'`);
}

// Leaves a game with one Escape. The level zoom after a death or a cleared level forgets the keys
// pressed before it, so an Escape that falls on those frames is lost: give it again once play is
// back, never while an earlier one may still be counted.
async function leaveGame(page, press, what) {
  const attract = ['title', 'scores', 'instructions'];
  for (let tries = 0; tries < 5; ++tries) {
    await waitScreen(page, ['play', ...attract], `play before ${what}`);
    if (attract.includes(await screen(page))) return;
    await press();
    let swallowed = false;
    for (let i = 0; i < 50 && !swallowed; ++i) {
      const now = await screen(page);
      if (attract.includes(now)) return;
      swallowed = now === 'death' || now === 'zoom' || now === 'levelclear';
      await page.waitForTimeout(100);
    }
    if (!swallowed) break;
  }
  await waitScreen(page, attract, what);
}

function percentile(values, p) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.min(sorted.length - 1, Math.floor((p / 100) * sorted.length))];
}

// Serves `root`, starts the browser, runs `body({ browser, base })`, and always closes both;
// a failure ends the process with status 1 and its one-line reason.
function run(root, fixtures, body) {
  // Node ends, status 0, when nothing is left to wait on: a test that stalls that way (a lost
  // browser connection, say) must fail, not pass in silence.
  let finished = false;
  process.on('exit', (code) => {
    if (!finished && code === 0) {
      console.error('FAIL: the test stopped before its end');
      process.exitCode = 1;
    }
  });
  (async () => {
    const server = await serve(root, fixtures);
    const browser = await launch();
    try {
      await body({ browser, base: `http://127.0.0.1:${server.address().port}` });
      finished = true;
    } finally {
      await browser.close();
      server.close();
    }
  })().catch((e) => {
    console.error('FAIL: ' + e.message);
    process.exit(1);
  });
}

module.exports = { serve, launch, run, waitFor, screen, waitScreen, leaveGame, percentile };
