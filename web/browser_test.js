// The game in headless Chromium, as a player meets it: the page loads and draws the title; a
// click takes the mouse, a second starts; a loop drawn round the first level box starts a game,
// with its sounds, paused without the focus; Escape leaves it; losing the mouse (the browser's
// own Escape) on the attract screens ends the game, whose table and recording stay in the
// browser across a reload. Then recordings to watch: a golden one plays frame for frame as
// koravel-sim played it, broken ones get one line on the page.
// Then the page at every size (no pixel lost below 1x), on a phone (a finger steers, a tap
// clicks, the page's Esc leaves, the recording replays natively; the page's Esc is seen at once
// on the title, and a tap plays again once a recording has ended), offline after one visit.
// With a koravel-board, the page it serves at /play watches a game it keeps.
// Usage: node web/browser_test.js PAGE_DIR SHOTS_DIR [KORAVEL_BOARD]
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const { execFileSync, spawn } = require('child_process');
const { run, waitFor, screen, waitScreen, leaveGame } = require('./harness');

const [root, shots, boardProgram] = process.argv.slice(2);
const replays = path.join(__dirname, '..', 'tests', 'replays');
const golden = fs.readFileSync(path.join(replays, 'level1-cleared.kvr'));
const fixtures = {
  'level1-cleared.kvr': golden,
  'photon-death.kvr': fs.readFileSync(path.join(replays, 'photon-death.kvr')),
  'truncated.kvr': golden.subarray(0, Math.floor(golden.length / 3)),
  'hostile.kvr': Buffer.from('KORAVEL\n' + 'x'.repeat(5000) + '\0\xff\n'),
};

function check(ok, why) {
  if (!ok) throw new Error(why);
}

async function titleIsDrawn(page) {
  return page.evaluate(() => {
    const d = document.getElementById('screen').getContext('2d').getImageData(0, 0, 800, 600).data;
    let lit = 0;
    for (let i = 0; i < d.length; i += 4) if (d[i + 2] > 100 && d[i] < 60) ++lit; // blue
    return lit;
  });
}

// Down from the centre to the first box (205, 405) and round it, crossing the way in.
const loopRoundFirstBox = [
  ...Array(10).fill([-1, 18]),
  [-17, -3], [-17, -3], [-17, -3], [-18, -2], [-17, -3], [-17, -3], [-17, -3], [-17, -3],
  [-17, -3], [-17, -3], [-18, -2], [-17, -3], [-17, -3], [-17, -3], [10, -16], [10, -16],
  [10, -4], [11, -3], [10, -11], [16, 3], [5, 17], [-12, 13], [-10, -2], [-9, -2], [-3, -10],
  [-3, -9], [14, -17]];

// A phone: a finger steers the point as on a trackpad, a tap clicks, the page's Esc leaves.
// The loop round the first level box chooses level 1; a loop round the field captures atoms;
// the recording of that game replays natively to the same trace.
async function touchPlay(browser, base, nativeSim) {
  const context = await browser.newContext({ viewport: { width: 915, height: 412 },
                                             deviceScaleFactor: 2.625, isMobile: true, hasTouch: true });
  const page = await context.newPage();
  const cdp = await context.newCDPSession(page);
  const touch = (type, x, y) => cdp.send('Input.dispatchTouchEvent',
                                         { type, touchPoints: type === 'touchEnd' ? [] : [{ x, y }] });
  await page.goto(base + '/?trace=entities&seed=3');
  await waitScreen(page, ['title'], 'the title on a phone');
  const how = await page.locator('#how').textContent();
  check(/finger/.test(how), `the page on a phone says '${how}'`);
  check(await page.locator('#escape').isVisible(), 'no Esc control on a phone');
  const box = await page.locator('#screen').boundingBox();
  const scale = box.width / 800;
  const cx = box.x + box.width / 2, cy = box.y + box.height / 2;
  await touch('touchStart', cx, cy);
  await touch('touchEnd');
  await waitScreen(page, ['picklevel'], 'the level choice after a tap');
  check(!(await page.evaluate(() => document.pointerLockElement)), 'Pointer Lock taken on a touch screen');
  let fx = cx, fy = cy;
  await touch('touchStart', fx, fy);
  for (const [dx, dy] of loopRoundFirstBox) {
    fx += dx * scale;
    fy += dy * scale;
    await touch('touchMove', fx, fy);
    await page.waitForTimeout(35);
  }
  await touch('touchEnd');
  await waitScreen(page, ['play'], 'play chosen with a finger');

  // Round the field as the autopilot goes, a step every frame from where the trace says the
  // point is: the point moves 0.35 of the pointer's offset, and the pointer stops at the
  // screen's edges. A step a frame needs the steering in the page itself, with touch events
  // made there; the finger is lifted and put down again near the middle before it nears the
  // picture's edge, as on a trackpad.
  const line = await page.evaluate(() => new Promise((done) => {
    const canvas = document.getElementById('screen');
    const r = canvas.getBoundingClientRect();
    const scale = r.width / 800, cx = r.left + r.width / 2, cy = r.top + r.height / 2;
    const k035 = Math.fround(0.35);
    const moved = (o) => Math.trunc(Math.fround(o * k035));
    const offset = (d) => {
      if (d === 0) return 0;
      let o = Math.ceil(Math.abs(d) / k035);
      while (moved(o) < Math.abs(d)) ++o;
      return d > 0 ? o : -o;
    };
    const stepToward = (x, y, tx, ty) => {
      const rx = tx - x, ry = ty - y;
      let f = 1;
      if (rx > 0) f = Math.min(f, moved(799 - x) / rx);
      if (rx < 0) f = Math.min(f, moved(x) / -rx);
      if (ry > 0) f = Math.min(f, moved(599 - y) / ry);
      if (ry < 0) f = Math.min(f, moved(y) / -ry);
      let dx = Math.trunc(rx * f), dy = Math.trunc(ry * f);
      if (rx && !dx) dx = rx > 0 ? 1 : -1;
      if (ry && !dy) dy = ry > 0 ? 1 : -1;
      return [dx, dy];
    };
    let fx = cx, fy = cy;
    const send = (type) => {
      const t = new Touch({ identifier: 7, target: canvas, clientX: fx, clientY: fy });
      const touches = type === 'touchend' ? [] : [t];
      canvas.dispatchEvent(new TouchEvent(type, { touches, targetTouches: touches, changedTouches: [t],
                                                  cancelable: true, bubbles: true }));
    };
    const corners = [[90, 280], [80, 60], [700, 45], [715, 540], [110, 555], [100, 200], [60, 190]];
    let leg = 0, seen = Module.frames, steps = 0;
    send('touchstart');
    const timer = setInterval(() => {
      if (Module.frames === seen) return;
      seen = Module.frames;
      const now = JSON.parse(Module.traceLines().pop());
      if (now.score > 0 || ++steps > 1500) {
        clearInterval(timer);
        send('touchend');
        done(now);
        return;
      }
      if (now.screen !== 'play') return;
      let [tx, ty] = corners[leg % corners.length];
      if (now.x === tx && now.y === ty) [tx, ty] = corners[++leg % corners.length];
      const [dx, dy] = stepToward(now.x, now.y, tx, ty);
      const mx = offset(dx) * scale, my = offset(dy) * scale;
      if (Math.abs(fx + mx - cx) > r.width / 2 - 4 || Math.abs(fy + my - cy) > r.height / 2 - 4) {
        send('touchend');
        fx = cx;
        fy = cy;
        send('touchstart');
      }
      fx += mx;
      fy += my;
      send('touchmove');
    }, 4);
  }));
  check(line.score > 0, `the loops drawn with a finger captured nothing (${JSON.stringify(line).slice(0, 160)})`);
  await page.screenshot({ path: `${shots}/touch-play.png` });
  console.log(`on a phone: a tap clicks, a finger chose level 1 and captured atoms (score ${line.score})`);

  // The page's Esc leaves the game; the recording of it replays natively frame for frame.
  await leaveGame(page, () => page.locator('#escape').tap(), 'the attract screens after Esc');
  await waitFor(page, () => Module.lastRecording() !== null, 'the touch game\'s recording', 10);
  const recording = Buffer.from(await page.evaluate(() => Array.from(Module.lastRecording())));
  const lines = await page.evaluate(() => Module.traceLines());
  await context.close();
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'koravel-touch-'));
  try {
    fs.writeFileSync(path.join(dir, 'touch.kvr'), recording);
    execFileSync(nativeSim, ['--replay', path.join(dir, 'touch.kvr'), '--entities', '--trace', path.join(dir, 't.jsonl')],
                 { stdio: 'ignore' });
    const native = fs.readFileSync(path.join(dir, 't.jsonl'), 'utf8').trimEnd().split('\n');
    const clockless = (l) => l.replace(/"ms":[0-9]+,/, '');
    // The recording ends one frame after the game was left; that frame may differ.
    check(native.length > 100 && native.length - 1 <= lines.length, `the native replay has ${native.length} frames`);
    for (let i = 0; i + 1 < native.length; ++i)
      check(clockless(native[i]) === clockless(lines[i]), `the touch game replays differently at frame ${i}:\n  ${lines[i]}\n  ${native[i]}`);
    console.log(`the touch game's recording replays natively the same in all its ${native.length - 1} frames`);
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
}

// The keyboard is the page's until the game holds the pointer: Tab reaches the page's buttons,
// Enter and Space press them.
async function keyboardIsThePages(page) {
  await page.evaluate(() => {
    window.fullPresses = 0;
    document.getElementById('full').addEventListener('click', () => ++window.fullPresses);
  });
  await page.keyboard.press('Tab');
  const focused = await page.evaluate(() => document.activeElement && document.activeElement.id);
  check(focused === 'full', `Tab reached '${focused}', not the Full screen button`);
  // Each press asks for full screen, which shows only the picture: it is left before the next.
  for (const key of ['Enter', 'Space']) {
    await page.keyboard.press(key);
    await page.waitForTimeout(200);
    await page.evaluate(() => document.fullscreenElement && document.exitFullscreen());
    await waitFor(page, () => !document.fullscreenElement, 'the end of full screen', 10);
    await page.focus('#full');
  }
  const presses = await page.evaluate(() => window.fullPresses);
  check(presses === 2, `Enter and Space pressed the Full screen button ${presses} times, not 2`);
  await page.evaluate(() => document.activeElement.blur());
}

// The picture at a window's size keeps every lit pixel of the game's own picture visible: the
// picture is frozen (the game presents nothing more), its 800 x 600 pixels kept, and the
// canvas's pixels on the screen compared with them. Each lit pixel must show at its place
// with at least a fifth of its brightness; dropping rows or columns loses thin strokes.
async function lostPixels(page) {
  await page.evaluate(() => {
    const context = document.getElementById('screen').getContext('2d');
    const d = Module.gamePicture(); // as the game drew it (the page may draw its lines wider)
    window.frozen = new Uint8Array(800 * 600);
    for (let i = 0; i < 800 * 600; ++i) window.frozen[i] = Math.max(d[4 * i], d[4 * i + 1], d[4 * i + 2]);
    context.putImageData = () => {};
  });
  await page.waitForTimeout(100);
  const png = (await page.locator('#screen').screenshot()).toString('base64');
  return page.evaluate(async (data) => {
    const bitmap = await createImageBitmap(await (await fetch('data:image/png;base64,' + data)).blob());
    const W = bitmap.width, H = bitmap.height, sx = W / 800, sy = H / 600;
    const canvas = new OffscreenCanvas(W, H);
    const c = canvas.getContext('2d');
    c.drawImage(bitmap, 0, 0);
    const d = c.getImageData(0, 0, W, H).data;
    const src = window.frozen;
    let lit = 0, lost = 0;
    for (let y = 0; y < 600; ++y) {
      for (let x = 0; x < 800; ++x) {
        const v = src[y * 800 + x];
        if (v < 128) continue;
        ++lit;
        let best = 0;
        const x0 = Math.max(0, Math.floor(x * sx) - 1), x1 = Math.min(W - 1, Math.ceil((x + 1) * sx));
        const y0 = Math.max(0, Math.floor(y * sy) - 1), y1 = Math.min(H - 1, Math.ceil((y + 1) * sy));
        for (let yy = y0; yy <= y1; ++yy) {
          for (let xx = x0; xx <= x1; ++xx) {
            const i = 4 * (yy * W + xx);
            best = Math.max(best, d[i], d[i + 1], d[i + 2]);
          }
        }
        if (best < v / 5) ++lost;
      }
    }
    return { lit, lost, width: W, height: H, smooth: document.getElementById('screen').classList.contains('smooth') };
  }, png);
}

async function legibleAtEverySize(browser, base) {
  const phone = { deviceScaleFactor: 2.625, isMobile: true, hasTouch: true };
  const sizes = [
    ['400x300', { viewport: { width: 400, height: 300 } }],
    ['800x600', { viewport: { width: 800, height: 600 } }],
    ['1280x600', { viewport: { width: 1280, height: 600 } }],
    ['1366x657', { viewport: { width: 1366, height: 657 } }],
    ['1920x1080', { viewport: { width: 1920, height: 1080 } }],
    ['phone-portrait', { viewport: { width: 412, height: 839 }, ...phone }],
    ['phone-landscape', { viewport: { width: 839, height: 412 }, ...phone }],
  ];
  for (const [name, options] of sizes) {
    const context = await browser.newContext(options);
    const page = await context.newPage();
    await page.goto(base + '/?trace');
    // The score table, whose small letters and digits suffer first.
    await waitScreen(page, ['scores'], `the score table at ${name}`);
    await waitFor(page, () => Module.frames > 340, `the score table drawn at ${name}`);
    const seen = await lostPixels(page);
    await page.screenshot({ path: `${shots}/size-${name}.png` });
    const box = await page.locator('#screen').boundingBox();
    const stage = await page.locator('#stage').boundingBox();
    console.log(`at ${name}: the picture ${seen.width} x ${seen.height} device pixels` +
                `${seen.smooth ? ' (filtered)' : ''}, ${seen.lost} of ${seen.lit} lit pixels lost`);
    check(seen.lit > 2000 && seen.lost <= seen.lit / 1000, `at ${name} the picture loses ${seen.lost} of ${seen.lit} lit pixels`);
    check(box.y >= stage.y - 0.5 && box.y + box.height <= stage.y + stage.height + 0.5 &&
          box.x >= stage.x - 0.5 && box.x + box.width <= stage.x + stage.width + 0.5,
          `at ${name} the picture is cut: ${JSON.stringify(box)} in ${JSON.stringify(stage)}`);
    await context.close();
  }
}

// Two clicks in the middle of the picture: the first takes the mouse, the second opens the
// level choice.
async function clickToTheLevelChoice(page, where) {
  // The game pauses while its page has not the focus (a page of another context may hold it).
  await page.bringToFront();
  const box = await page.locator('#screen').boundingBox();
  await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
  await page.mouse.down();
  await page.mouse.up();
  await waitFor(page, () => document.pointerLockElement !== null, `the pointer lock ${where}`);
  // The attract screens flush the mouse as each begins: a click in that instant is dropped, as
  // on the desktop. Clicked again after a few seconds, as a player would.
  for (let attempt = 1; ; ++attempt) {
    await page.mouse.down();
    await page.mouse.up();
    try {
      await waitScreen(page, ['picklevel'], `the level choice ${where}`, 5);
      return;
    } catch (e) {
      if (attempt === 4) throw e;
    }
  }
}

// Once loaded, the page plays offline; its manifest is valid and its icons load.
// A pad, as the Gamepad API shows one (the page's own, stood in for here): A clicks the game
// into play, the stick steers the point, Start pauses; the recording names the gamepad.
async function padPlay(browser, base) {
  const context = await browser.newContext({ viewport: { width: 960, height: 760 } });
  await context.addInitScript(() => {
    const button = () => ({ pressed: false, value: 0 });
    window.fakePad = { connected: true, axes: [0, 0, 0, 0], buttons: Array.from({ length: 17 }, button) };
    navigator.getGamepads = () => [window.fakePad];
  });
  const page = await context.newPage();
  try {
    await page.goto(base + '/?trace&seed=2');
    await page.bringToFront();
    await waitScreen(page, ['title'], 'the title for the pad');
    const press = (i, down) => page.evaluate(([b, d]) => { window.fakePad.buttons[b].pressed = d; }, [i, down]);
    for (let tries = 0; tries < 5 && !['picklevel', 'zoom', 'play'].includes(await screen(page)); ++tries) {
      await press(0, true);
      await page.waitForTimeout(300);
      await press(0, false);
      await page.waitForTimeout(2000);
    }
    await waitScreen(page, ['play'], 'play started by the pad');
    await page.waitForTimeout(300);
    const x0 = await page.evaluate(() => Number(/"x":([0-9]+)/.exec(Module.traceLines().pop())[1]));
    await page.evaluate(() => { window.fakePad.axes[0] = 1; });
    await page.waitForTimeout(600);
    await page.evaluate(() => { window.fakePad.axes[0] = 0; });
    const x1 = await page.evaluate(() => Number(/"x":([0-9]+)/.exec(Module.traceLines().pop())[1]));
    check(x1 > x0 + 40, `the stick moved the point from x ${x0} only to ${x1}`);
    for (let tries = 0; tries < 5 && (await screen(page)) !== 'paused'; ++tries) {
      await waitScreen(page, ['play'], 'play to pause with Start');
      await press(9, true);
      await page.waitForTimeout(200);
      await press(9, false);
      for (let i = 0; i < 20 && (await screen(page)) === 'play'; ++i) await page.waitForTimeout(100);
    }
    check((await screen(page)) === 'paused', `Start did not pause: the screen is '${await screen(page)}'`);
    console.log(`a pad started the game, steered the point from x ${x0} to ${x1}, and Start paused it`);
  } finally {
    await context.close();
  }
}

async function playsOffline(browser, base) {
  const context = await browser.newContext({ viewport: { width: 960, height: 760 } });
  const page = await context.newPage();
  await page.goto(base + '/?trace');
  await waitFor(page, () => navigator.serviceWorker && navigator.serviceWorker.controller !== null,
                'the service worker to keep the page');
  await waitFor(page, async () => {
    const names = await caches.keys();
    return names.length === 1 && (await (await caches.open(names[0])).keys()).length === 7;
  }, 'the page\'s files kept');
  const manifest = await page.evaluate(async () => {
    const m = await (await fetch('manifest.webmanifest')).json();
    const icons = [];
    for (const icon of m.icons) {
      const bitmap = await createImageBitmap(await (await fetch(icon.src)).blob());
      icons.push([icon.sizes, `${bitmap.width}x${bitmap.height}`]);
    }
    return { name: m.name, start: m.start_url, display: m.display, icons };
  });
  check(manifest.name === 'Koravel' && manifest.start === './' && manifest.display === 'fullscreen',
        `the manifest says ${JSON.stringify(manifest)}`);
  check(manifest.icons.length === 3 && manifest.icons.every(([said, is]) => said === is) &&
        manifest.icons.some(([said]) => said === '512x512'), `the icons: ${JSON.stringify(manifest.icons)}`);
  await context.setOffline(true);
  await page.reload();
  await waitFor(page, () => window.Module && Module.frames > 30, 'the game offline');
  await waitScreen(page, ['title'], 'the title offline');
  await clickToTheLevelChoice(page, 'offline');
  console.log(`offline after one visit the game reaches the level choice; the manifest names ${manifest.icons.length} icons`);
  await context.close();
}

// A new build reaches a returning player: with the files served days old and without
// Cache-Control (the browser's HTTP cache then keeps them for hours), the build made next is
// kept whole by the second visit after it, and the first of them says a new version is ready.
async function newBuildsReachReturningPlayers(browser) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'koravel-builds-'));
  fs.cpSync(root, dir, { recursive: true });
  const old = new Date(Date.now() - 3 * 86400 * 1000).toUTCString();
  const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
                  '.webmanifest': 'application/manifest+json', '.png': 'image/png' };
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    const file = path.join(dir, name === '/' ? 'index.html' : name);
    if (!/^\/[A-Za-z0-9._\/-]*$/.test(name) || name.includes('..') || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      response.writeHead(404);
      return response.end();
    }
    response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream', 'Last-Modified': old });
    response.end(fs.readFileSync(file));
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const url = `http://127.0.0.1:${server.address().port}/`;
  const context = await browser.newContext({ viewport: { width: 960, height: 760 } });
  try {
    const page = await context.newPage();
    await page.goto(url);
    await waitFor(page, () => navigator.serviceWorker.controller !== null, 'the first build kept');
    // The next build: another page, and its worker written as the build writes it.
    fs.writeFileSync(path.join(dir, 'index.html'),
                     fs.readFileSync(path.join(dir, 'index.html'), 'utf8').replace('<title>Koravel</title>', '<title>Koravel</title><!-- the next build -->'));
    execFileSync('cmake', [`-DPAGE=${dir}`, `-DSOURCE=${path.join(__dirname, 'sw.js.in')}`, '-P', path.join(__dirname, 'make_sw.cmake')]);
    await page.goto(url);
    await waitFor(page, () => /A new version of Koravel is ready/.test(document.getElementById('message').textContent),
                  'the line saying a new version is ready', 30);
    await page.goto(url);
    await waitFor(page, () => window.Module && Module.frames > 0, 'the next build playing');
    check((await page.content()).includes('the next build'), 'the second visit after a new build still plays the old one');
    console.log('a new build served days old is kept whole and plays by the second visit; the first says it is ready');
  } finally {
    await context.close();
    server.close();
    fs.rmSync(dir, { recursive: true, force: true });
  }
}

async function play(page, base) {
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(base + '/?trace');
  await waitFor(page, () => window.Module && Module.frames > 30, 'the first pictures');
  const firstPicture = await page.evaluate(() => Module.firstPicture);
  console.log(`first picture ${firstPicture.toFixed(0)} ms after the page began to load`);
  await waitScreen(page, ['title'], 'the title');
  await waitFor(page, () => Module.frames > 200, 'the title grown'); // it zooms in
  const lit = await titleIsDrawn(page);
  await page.screenshot({ path: `${shots}/title.png` });
  check(lit > 2000, `the title is not drawn (${lit} lit pixels)`);
  await keyboardIsThePages(page);

  // The first click takes the mouse and nothing else; the second is the game's.
  const box = await page.locator('#screen').boundingBox();
  const scale = box.width / 800;
  let mx = box.x + box.width / 2, my = box.y + box.height / 2;
  await page.mouse.move(mx, my);
  await page.mouse.down();
  await page.mouse.up();
  await waitFor(page, () => document.pointerLockElement !== null, 'the pointer lock');
  await page.waitForTimeout(300);
  check((await screen(page)) === 'title', 'the click that took the mouse was handed to the game');
  await page.mouse.down();
  await page.mouse.up();
  await waitScreen(page, ['picklevel'], 'the level choice');
  await page.screenshot({ path: `${shots}/choice.png` });

  for (const [dx, dy] of loopRoundFirstBox) {
    mx += dx * scale;
    my += dy * scale;
    await page.mouse.move(mx, my);
    await page.waitForTimeout(35);
  }
  await waitScreen(page, ['play'], 'play');
  await page.waitForTimeout(1000);
  await page.screenshot({ path: `${shots}/play.png` });
  // The game's sounds reach Web Audio (the zoom into the level has played).
  const sound = await page.evaluate(() => [Module.audioFrames || 0, Module.audioPeak || 0]);
  check(sound[0] > 44100 && sound[1] > 1000, `no sound reached Web Audio (${sound})`);

  // Another window in front pauses the game until it is back.
  await page.evaluate(() => window.dispatchEvent(new Event('blur')));
  await page.waitForTimeout(300);
  const paused = await page.evaluate(() => Module.frames);
  await page.waitForTimeout(500);
  check((await page.evaluate(() => Module.frames)) === paused, 'the game went on without the focus');
  await page.evaluate(() => window.dispatchEvent(new Event('focus')));
  await waitFor(page, (n) => Module.frames > n + 10, 'the game to go on with the focus back', 10, paused);
  // Still in the game (the idle point may have been hit meanwhile: a death is still the game).
  const after = await screen(page);
  check(['play', 'death', 'zoom', 'levelclear'].includes(after), `the pause left the game for '${after}'`);

  // P pauses play behind its own screen, and goes on. (A zoom after a death forgets the keys
  // pressed before it: pressed again once play is back.)
  for (let tries = 0; tries < 10 && (await screen(page)) !== 'paused'; ++tries) {
    await waitScreen(page, ['play'], 'play to pause');
    await page.keyboard.press('KeyP');
    for (let i = 0; i < 20 && (await screen(page)) === 'play'; ++i) await page.waitForTimeout(100);
  }
  check((await screen(page)) === 'paused', `P did not pause: the screen is '${await screen(page)}'`);
  const held = await page.evaluate(() => Module.traceLines().pop().replace(/"(frame|ms)":[0-9]+,/g, ''));
  await page.mouse.move(300, 200);
  await page.mouse.move(600, 500, { steps: 10 });
  await page.waitForTimeout(500);
  const still = await page.evaluate(() => Module.traceLines().pop().replace(/"(frame|ms)":[0-9]+,/g, ''));
  check(still === held, `the paused game moved: ${held} became ${still}`);
  await page.screenshot({ path: `${shots}/paused.png` });
  // M turns the sound off, kept in the page's own settings (checked again after a reload).
  await page.keyboard.press('KeyM');
  await waitFor(page, () => {
    try { return /^muted 1$/m.test(FS.readFile('/home/web_user/.config/koravel/settings', { encoding: 'utf8' })); } catch (e) { return false; }
  }, 'M to turn the sound off and keep it', 10);
  await page.keyboard.press('KeyP');
  await waitScreen(page, ['play', 'death', 'zoom', 'levelclear'], 'play after the pause', 10);
  console.log('P paused the game, which held still, and P went on');

  // Escape leaves the game for the attract screens (whether or not the browser also ends the
  // lock: one Escape either way).
  await leaveGame(page, () => page.keyboard.press('Escape'), 'the attract screens after Escape');
  await page.screenshot({ path: `${shots}/back.png` });
  await page.waitForTimeout(500);
  check(!(await page.evaluate(() => Module.ended)), 'one Escape in play counted twice');

  // The browser ends the lock on Escape without always handing the key over: the lock's end is
  // the Escape press, which on the attract screens ends the game.
  if (!(await page.evaluate(() => document.pointerLockElement))) {
    await page.mouse.down();
    await page.mouse.up();
    await waitFor(page, () => document.pointerLockElement !== null, 'the pointer lock again');
  }
  await page.evaluate(() => document.exitPointerLock());
  await waitFor(page, () => Module.ended === true, 'the end of the game');
  const message = await page.locator('#message').textContent();
  check(/has ended/.test(message), `the page says '${message}' after the game ended`);
  await waitFor(page, () => !document.getElementById('download').hidden, 'the last game to download', 5);
  // The message wrapping under the picture refits it: nothing of it is cut off.
  const box2 = await page.locator('#screen').boundingBox(), stage = await page.locator('#stage').boundingBox();
  check(box2.y >= stage.y - 0.5 && box2.y + box2.height <= stage.y + stage.height + 0.5,
        `after the game the picture spans ${box2.y}..${box2.y + box2.height} in a stage of ${stage.y}..${stage.y + stage.height}`);
  // A first-time visitor is told what the game is, and the download says what it holds.
  const said = await page.evaluate(() => [document.querySelector('meta[name=description]').content,
                                          document.getElementById('about').textContent,
                                          document.getElementById('download').title]);
  check(/loops/.test(said[0]) && /loops/.test(said[1]), `the page describes itself as ${said}`);
  check(/game over/.test(said[2]) && /initials are not/.test(said[2]), `the download says '${said[2]}'`);
  const table = await page.evaluate(() => Array.from(FS.readFile('/scores/hiscores.dat')));
  check(table.length > 0, 'no score table was saved');
  check(errors.length === 0, `page errors: ${errors.join('; ')}`);
  return table;
}

async function reloadKeepsFiles(page, base, table) {
  await page.waitForTimeout(500); // IndexedDB's own writes finish
  await page.goto(base + '/');
  await waitFor(page, () => window.Module && Module.frames > 5, 'the game after a reload');
  const kept = await page.evaluate(() => Array.from(FS.readFile('/scores/hiscores.dat')));
  check(JSON.stringify(kept) === JSON.stringify(table), 'the score table was not kept across a reload');
  const settings = await page.evaluate(() => FS.readFile('/home/web_user/.config/koravel/settings', { encoding: 'utf8' }));
  check(/^muted 1$/m.test(settings), `the sound's setting was not kept across a reload: ${settings}`);
  await waitFor(page, () => !document.getElementById('download').hidden, 'the kept recording to download');
}

async function watch(page, base) {
  // A golden recording plays to its end, frame for frame as koravel-sim played it (the
  // clock aside: the browser's is real).
  await page.goto(base + '/?trace&replay=/fixtures/level1-cleared.kvr');
  await waitFor(page, () => /^Watching level1-cleared\.kvr/.test(document.getElementById('how').textContent),
                'the page to say what is watched', 20);
  await waitFor(page, () => Module.ended === true, 'the end of the watched game', 120);
  const lines = await page.evaluate(() => Module.traceLines());
  const clockless = (line) => line.replace(/"ms":[0-9]+,/, '');
  const golden = fs.readFileSync(path.join(replays, 'level1-cleared.trace'), 'utf8').trimEnd().split('\n');
  check(lines.length === golden.length, `the watched game showed ${lines.length} pictures, not ${golden.length}`);
  lines.forEach((line, i) => check(clockless(line) === clockless(golden[i]),
    `the watched game differs at frame ${i}:\n  ${line}\n  ${golden[i]}`));
  console.log(`a golden recording was watched to its end, the same in all its ${lines.length} frames`);

  // Broken recordings: one line on the page, and the page stays whole.
  const oneLine = async (what) => {
    await waitFor(page, () => /^koravel: /.test(document.getElementById('message').textContent), what, 30);
    const text = await page.locator('#message').textContent();
    check(!text.includes('\n') && text.length < 300, `not one line for ${what}: '${text}'`);
    console.log(`${what}: "${text}"`);
  };
  for (const name of ['hostile.kvr', 'truncated.kvr', 'missing.kvr']) {
    await page.goto(`${base}/?replay=/fixtures/${name}`);
    await oneLine(`?replay of ${name}`);
  }
  // A file dropped on the page.
  await page.goto(base + '/');
  await waitFor(page, () => window.Module && Module.frames > 0, 'the game');
  await page.evaluate((bytes) => {
    const transfer = new DataTransfer();
    transfer.items.add(new File([new Uint8Array(bytes)], 'dropped.kvr'));
    window.dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, cancelable: true }));
  }, Array.from(fixtures['truncated.kvr']));
  await page.waitForURL(/\?watch/);
  await oneLine('a dropped truncated recording');
  await page.screenshot({ path: `${shots}/bad-recording.png` });
}

// On a phone, the page's Esc on the title is seen at once, as a held Escape is: the game ends
// there and then, as Escape ends it from the attract screens on the desktop, not after the
// attract screens have run their course. And when a watched recording has ended a tap plays
// again as a click does.
async function touchControls(browser, base) {
  const context = await browser.newContext({ viewport: { width: 915, height: 412 },
                                             deviceScaleFactor: 2.625, isMobile: true, hasTouch: true });
  const page = await context.newPage();
  await page.goto(base + '/?trace');
  await waitScreen(page, ['title'], 'the title on a phone');
  // On its side, the picture takes the phone's height, the words beside it; the finger's
  // buttons are a fingertip large.
  const picture = await page.locator('#screen').boundingBox();
  const share = (picture.width * picture.height) / (915 * 412);
  check(share > 0.45, `the picture takes ${Math.round(100 * share)} % of a phone on its side`);
  for (const button of ['#escape', '#pause']) {
    const box = await page.locator(button).boundingBox();
    check(box.width >= 44 && box.height >= 44, `${button} is ${box.width} x ${box.height} CSS px`);
  }
  check(!(await page.locator('#turn').isVisible()), 'a phone on its side is asked to turn');
  console.log(`on a phone on its side the picture takes ${Math.round(100 * share)} % of the screen`);
  // Full screen is the whole game area: the page's Esc and the message line stay in sight.
  await page.locator('#full').tap();
  await waitFor(page, () => document.fullscreenElement && document.fullscreenElement.id === 'game',
                'the game area in full screen', 10);
  for (const part of ['#escape', '#pause', '#message', '#screen']) {
    const box = await page.locator(part).boundingBox();
    check(box && box.y >= 0 && box.y + box.height <= 412 + 0.5 &&
          await page.evaluate((p) => document.fullscreenElement.contains(document.querySelector(p)), part),
          `${part} is not shown in full screen: ${JSON.stringify(box)}`);
  }
  await page.screenshot({ path: `${shots}/phone-full-screen.png` });
  await page.evaluate(() => document.exitFullscreen());
  await waitFor(page, () => !document.fullscreenElement, 'the end of full screen on a phone', 10);
  console.log('full screen on a phone keeps the Esc and Pause buttons and the message line');
  await page.waitForTimeout(500); // well into the title, which lasts some seconds
  const pressed = await page.evaluate(() => Module.traceLines().length);
  await page.locator('#escape').tap();
  await waitFor(page, () => Module.ended === true, 'the end the page\'s Esc asks for on the title', 3);
  const after = await page.evaluate((from) => Module.traceLines().length - from, pressed);
  check(after < 30, `the title went on for ${after} pictures after the page's Esc`);
  console.log(`the page's Esc on the title ended the game ${after} pictures after it was tapped, as Escape does`);

  await page.goto(base + '/?replay=/fixtures/photon-death.kvr');
  await waitFor(page, () => window.Module && Module.ended === true, 'the end of a recording watched on a phone', 120);
  await page.locator('#screen').tap();
  await page.waitForURL((url) => url.search === '', { timeout: 10000 });
  console.log('a tap after the watched recording ended plays again');
  await context.close();

  // A phone whose browser cannot put an element in full screen (the iPhone's): no button that
  // does nothing, but the way to the home screen.
  const iphone = await browser.newContext({ viewport: { width: 390, height: 844 },
                                            deviceScaleFactor: 3, isMobile: true, hasTouch: true });
  await iphone.addInitScript(() => {
    delete Element.prototype.requestFullscreen;
    Object.defineProperty(Document.prototype, 'fullscreenEnabled', { get: () => false });
  });
  const ios = await iphone.newPage();
  await ios.goto(base + '/');
  await waitFor(ios, () => window.Module && Module.frames > 0, 'the game on a phone without element full screen');
  check(await ios.locator('#turn').isVisible(), 'an upright phone is not told to turn for a larger picture');
  check(!(await ios.locator('#full').isVisible()), 'a Full screen button where the browser has no element full screen');
  const told = await ios.locator('#how').textContent();
  check(/Add to Home Screen/.test(told), `the page does not say how to fill the screen: '${told}'`);
  console.log('without element full screen the page says to add it to the home screen');
  await iphone.close();
}

// A score file: the first nine entries of the table a new player has, and one of ours last.
const tableWith = (last) => [[45000, 20, 'MAX'], [43650, 19, 'MAX'], [42300, 18, 'MAX'],
  [40950, 17, 'MAX'], [39600, 16, 'MAX'], [38250, 15, 'MAX'], [36900, 14, 'MAX'],
  [35550, 13, 'MAX'], [34200, 12, 'MAX'], last].map((e) => e.join('\r\n') + '\r\n').join('');

// Two tabs of one browser: tab B is open and idle while tab A's game keeps a table with an entry
// of 380 points; then B's game ends and saves. B's save merges with the table the browser holds
// now, so the 380 is still there for the next visit.
async function twoTabs(browser, base) {
  const context = await browser.newContext({ viewport: { width: 960, height: 760 } });
  const tabB = await context.newPage();
  await tabB.goto(base + '/');
  await waitFor(tabB, () => window.Module && Module.frames > 0, 'tab B');
  const tabA = await context.newPage();
  await tabA.goto(base + '/');
  await waitFor(tabA, () => window.Module && Module.frames > 0, 'tab A');
  const table = tableWith([380, 2, 'AAA']);
  await tabA.evaluate((text) => Module.keepFile('/scores/hiscores.dat', text), table);
  await waitFor(tabA, () => Module.filesSaved > 0, 'tab A\'s table kept in the browser', 10);
  await waitFor(tabB, () => Module.filesRead > 0, 'tab B reading what tab A kept', 10);
  await tabB.evaluate(() => Module.pressEscape()); // from the title: B's game ends, and saves
  await waitFor(tabB, () => Module.ended === true && Module.filesSaved > 0, 'tab B\'s save', 20);
  const visit = await context.newPage();
  await visit.goto(base + '/');
  await waitFor(visit, () => window.Module && Module.frames > 0, 'the next visit');
  const kept = await visit.evaluate(() => Module.keptFile('/scores/hiscores.dat'));
  check(kept && kept.includes('380\r\n2\r\nAAA\r\n'), `tab B's save lost tab A's entry: ${JSON.stringify(kept)}`);
  console.log('two tabs: the second tab\'s save kept the first tab\'s entry of 380 points');
  await context.close();
}

// The page asks the browser to keep its storage; the scores go to a file and, in another
// browser, come back: their entries join that browser's table, and a nonsense file is refused
// in one line.
async function keepsAndMovesScores(browser, base) {
  const asked = () => {
    window.persistAsked = 0;
    navigator.storage.persist = () => { ++window.persistAsked; return Promise.resolve(true); };
  };
  const first = await browser.newContext({ acceptDownloads: true, viewport: { width: 960, height: 760 } });
  await first.addInitScript(asked);
  const page = await first.newPage();
  await page.goto(base + '/');
  await waitFor(page, () => window.Module && Module.frames > 0, 'the game before saving the scores');
  check(await page.evaluate(() => window.persistAsked) === 1, 'the page did not ask to keep its storage');
  const table = tableWith([33000, 7, 'EXP']);
  await page.evaluate((text) => Module.keepFile('/scores/hiscores.dat', text), table);
  const [download] = await Promise.all([page.waitForEvent('download'), page.locator('#export').click()]);
  const saved = fs.readFileSync(await download.path());
  check(download.suggestedFilename() === 'koravel-scores.json' && saved.length > 100,
        `the scores' file: ${download.suggestedFilename()}, ${saved.length} bytes`);
  await first.close();

  const second = await browser.newContext({ viewport: { width: 960, height: 760 } });
  const other = await second.newPage();
  await other.goto(base + '/');
  await waitFor(other, () => window.Module && Module.frames > 0, 'the game in another browser');
  await other.setInputFiles('#importFile', { name: 'nonsense.json', mimeType: 'application/json', buffer: Buffer.from('{"no":1}') });
  await waitFor(other, () => /no scores saved from this page/.test(document.getElementById('message').textContent),
                'the refusal of a file of nonsense', 10);
  await Promise.all([other.waitForEvent('load'),
                     other.setInputFiles('#importFile', { name: 'koravel-scores.json', mimeType: 'application/json', buffer: saved })]);
  await waitFor(other, () => window.Module && Module.frames > 0, 'the game after loading the scores');
  await other.evaluate(() => Module.pressEscape()); // the game ends on the title, and saves its table
  await waitFor(other, () => Module.ended === true && Module.filesSaved > 0, 'the merged table kept', 20);
  const kept = await other.evaluate(() => Module.keptFile('/scores/hiscores.dat'));
  check(kept && kept.includes('33000\r\n7\r\nEXP\r\n') && kept.includes('45000\r\n20\r\nMAX\r\n'),
        `the loaded scores did not join the table: ${JSON.stringify(kept)}`);
  console.log('the scores went to a file and joined another browser\'s table; the page asks to keep its storage');
  await second.close();
}

// A browser without WebAssembly, or without Pointer Lock, is told so on the page.
async function unfitBrowsers(browser, base) {
  const cases = [
    ['delete window.WebAssembly', /cannot run WebAssembly/],
    ['delete Element.prototype.requestPointerLock', /no Pointer Lock/],
  ];
  for (const [script, said] of cases) {
    const context = await browser.newContext();
    await context.addInitScript(script);
    const page = await context.newPage();
    await page.goto(base + '/');
    await waitFor(page, (re) => new RegExp(re).test(document.getElementById('message').textContent),
                  `the page to say why after '${script}'`, 10, said.source);
    await context.close();
  }
}

// Today's field played in the page the board serves, by its button (the mouse left alone, so a
// game of 0 points): the page fetches an attempt, and at the game over sends the game, which the
// board ranks on the day's table (played in real time, by no machine) and keeps.
async function playToTheBoard(page, url) {
  await page.goto(url + '/play/?trace');
  await page.click('#daily');
  await waitFor(page, () => window.Module && Module.frames > 30 && Module.daily, 'today\'s field at /play');
  const field = await page.evaluate(() => Module.daily);
  check(/^[0-9a-f]{32}$/.test(field.token), `the page plays today's field under ${JSON.stringify(field)}`);
  await clickToTheLevelChoice(page, 'at /play');
  // No choice made: level 1 comes when the time is up, and the idle point loses its lives.
  await waitScreen(page, ['play', 'zoom'], 'play at /play');
  const level = await page.evaluate(() => Number(/"level":([0-9]+)/.exec(Module.traceLines().pop())[1]));
  await waitFor(page, () => /the board (has|refused)/.test(document.getElementById('message').textContent),
                `the board's answer after a game at level ${level}`, 300);
  const said = await page.locator('#message').textContent();
  check(new RegExp('the board has your game of 0 points.*, ranked on the table of ' + field.date).test(said),
        `the page says '${said}'`);
  // A game of 0 points is kept but not listed: it is found by the id the page was given.
  const id = /\(game ([0-9]+)\)/.exec(said)[1];
  const kept = await (await fetch(url + '/api/games/' + id)).json();
  check(kept.level === level && kept.seed === field.seed && kept.ranked === true,
        `the board keeps game ${id} as ${JSON.stringify(kept)}, not at level ${level} on seed ${field.seed}, ranked`);
  console.log(`a game played at /play (level ${level}) went to the board: "${said}"`);
}

// koravel-board serving the page: a verified game is watched in the page at /play.
async function boardServesThePage(page) {
  const home = fs.mkdtempSync(path.join(os.tmpdir(), 'koravel-board-'));
  const board = spawn(boardProgram, ['--listen', '127.0.0.1:0', '--db', path.join(home, 'b.sqlite3'),
                                     '--web', root], { stdio: ['ignore', 'pipe', 'inherit'] });
  try {
    const url = await new Promise((resolve, reject) => {
      board.stdout.on('data', (d) => {
        const m = /(http:\/\/[0-9.:]+)\//.exec(String(d));
        if (m) resolve(m[1]);
      });
      board.on('exit', () => reject(new Error('koravel-board ended')));
    });
    const sent = await fetch(url + '/api/games', { method: 'POST', body: fs.readFileSync(path.join(replays, 'initials-entry.kvr')) });
    check(sent.status === 202, `the board answered ${sent.status}`);
    let verdict = {};
    for (let i = 0; i < 600 && !['stored', 'refused'].includes(verdict.state); ++i) {
      if (i) await new Promise((r) => setTimeout(r, 100));
      verdict = await (await fetch(url + sent.headers.get('Location'))).json();
    }
    check(verdict.state === 'stored' && verdict.stored.name === 'ABE', `the board's verdict: ${JSON.stringify(verdict)}`);
    // A game of 0 points is kept but not listed: watched through the link the list would give.
    await page.goto(url + '/play/?replay=/api/games/' + verdict.game + '/recording');
    await waitFor(page, () => window.Module && Module.ended === true, 'the end of the game watched from the board', 120);
    const frames = await page.evaluate(() => Module.frames);
    check(frames === 960, `the game watched from the board showed ${frames} pictures, not 960`);
    console.log('the board served the page, which watched a game it keeps');
    await playToTheBoard(page, url);
  } finally {
    board.kill('SIGTERM');
    fs.rmSync(home, { recursive: true, force: true });
  }
}

fs.mkdirSync(shots, { recursive: true });
run(root, fixtures, async ({ browser, base }) => {
  const page = await browser.newPage({ viewport: { width: 960, height: 760 } });
  page.on('console', (m) => { if (/error/i.test(m.type())) console.log('console:', m.text()); });
  try {
    const table = await play(page, base);
    console.log('played, left with Escape, ended by losing the lock');
    await reloadKeepsFiles(page, base, table);
    console.log('the score table and the last recording were kept across a reload');
    await watch(page, base);
    await unfitBrowsers(browser, base);
    console.log('browsers without WebAssembly or Pointer Lock are told so');
    await legibleAtEverySize(browser, base);
    if (boardProgram) await touchPlay(browser, base, path.join(path.dirname(boardProgram), 'koravel-sim'));
    await touchControls(browser, base);
    await twoTabs(browser, base);
    await keepsAndMovesScores(browser, base);
    await padPlay(browser, base);
    await playsOffline(browser, base);
    await newBuildsReachReturningPlayers(browser);
    if (boardProgram) await boardServesThePage(page);
    console.log('browser tests passed');
  } catch (e) {
    const log = await page.evaluate(() => Module.webLog).catch(() => null);
    if (log) console.error('what the page saw:\n  ' + log.join('\n  '));
    throw e;
  }
});
