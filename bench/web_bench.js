// The browser build's figures, in headless Chromium on this machine (docs/performance.md):
// the time from asking for the page to its first picture; what the page downloads, gzip-
// compressed; one frame's work (the game's time between two sleeps) and the interval between
// pictures while the level-60 golden replay plays in real time.
// Usage: node bench/web_bench.js BUILD_WEB_DIR   (needs web/node_modules: run web/test.sh once)
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const { run, waitFor, percentile } = require('../web/harness');

const root = path.join(process.argv[2], 'page');
const level60 = fs.readFileSync(path.join(__dirname, '..', 'tests', 'replays', 'star-split-level60.kvr'));
const ms = (v) => v.toFixed(2);

let total = 0;
for (const name of ['index.html', 'koravel.js', 'koravel.wasm', 'koravel.data']) {
  const bytes = fs.readFileSync(path.join(root, name));
  const gz = zlib.gzipSync(bytes, { level: 9 }).length;
  total += gz;
  console.log(`${name}: ${(bytes.length / 1024).toFixed(0)} KB, ${(gz / 1024).toFixed(0)} KB gzip-compressed`);
}
console.log(`the page downloads ${(total / 1024).toFixed(0)} KB gzip-compressed`);

run(root, { 'level60.kvr': level60 }, async ({ browser, base }) => {
  const page = await browser.newPage({ viewport: { width: 960, height: 760 } });
  const firsts = [];
  for (let i = 0; i < 7; ++i) {
    await page.goto(base + '/');
    await waitFor(page, () => window.Module && Module.frames > 0, 'the first picture');
    firsts.push(await page.evaluate(() => Module.firstPicture));
  }
  console.log(`first picture after ${ms(percentile(firsts, 50))} ms (median of 7 loads; slowest ${ms(Math.max(...firsts))} ms)`);

  // The replay twice: with its trace, to know the screen of every frame (a replay shows the
  // same screens on the same frames), then without, as a player would watch it.
  await page.goto(base + '/?trace&replay=/fixtures/level60.kvr');
  await waitFor(page, () => Module.ended === true, 'the end of the level-60 replay', 200);
  const lines = await page.evaluate(() => Module.traceLines());
  await page.goto(base + '/?replay=/fixtures/level60.kvr');
  await waitFor(page, () => Module.ended === true, 'the end of the level-60 replay', 200);
  const { work, presents } = await page.evaluate(() => ({ work: Module.work, presents: Module.presents }));
  // Frames of play only: the title, the level choice and the transitions keep their own pace.
  const screens = lines.map((line) => /"screen":"([a-z]+)"/.exec(line)[1]);
  const shown = presents.slice(-lines.length), worked = work.slice(-lines.length);
  const gaps = [], busy = [];
  for (let i = 1; i < lines.length; ++i) {
    if (screens[i] !== 'play' || screens[i - 1] !== 'play') continue;
    gaps.push(shown[i] - shown[i - 1]);
    busy.push(worked[i]);
  }
  console.log(`${gaps.length} frames of play at level 60 (of ${lines.length} in the replay)`);
  console.log(`one frame's work: median ${ms(percentile(busy, 50))} ms, p99 ${ms(percentile(busy, 99))} ms, most ${ms(Math.max(...busy))} ms`);
  const late = gaps.filter((g) => g > 31).length;
  console.log(`interval between pictures: median ${ms(percentile(gaps, 50))} ms, p99 ${ms(percentile(gaps, 99))} ms, p1 ${ms(percentile(gaps, 1))} ms; ${late} longer than 31 ms`);
});
