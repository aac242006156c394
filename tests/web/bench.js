// The page's speed and size in one run: node bench.js WEB_BUILD LINUX_BUILD [ZIP]
// 200 frames of the bundled scene with --no-vsync, from glide.run() to its exit code in headless Chromium
// against the Linux build's whole run under Xvfb; the page's own time per frame; the time from opening the
// page to its first frame; and the download size of the zip's files. Both runs end with a screenshot: reading
// the last frame back waits until the rasteriser has drawn every frame, which the browser otherwise does
// after the page has moved on.
'use strict';

const fs = require('fs');
const path = require('path');
const { execFileSync } = require('child_process');
const web = require('./lib');

const [webBuild, linuxBuild, zipArgument] = process.argv.slice(2);
const frames = '200';
const runs = 3;

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const mean = (values) => values.reduce((sum, value) => sum + value, 0) / values.length;

// The whole run of the Linux build, glide alone timed inside one Xvfb, in seconds.
function linuxRuns() {
  const dir = web.scratch('bench');
  web.copyScene(web.repo, dir);
  const glide = path.join(path.resolve(linuxBuild), 'glide');
  const script = `for i in $(seq ${runs}); do s=$(date +%s%N); ` +
    `"${glide}" --batch --no-vsync --frames ${frames} -C "${dir}" --screenshot "${dir}/shot.bmp" ` +
    '|| exit 1; e=$(date +%s%N); echo $(( (e - s) / 1000 )); done';
  const out = execFileSync('xvfb-run', ['-a', '-s', '-screen 0 1024x768x24 -noreset', 'sh', '-c', script],
    { encoding: 'utf8' });
  return out.trim().split('\n').map((us) => Number(us) / 1e6);
}

async function pageRun(browser, url) {
  const page = await web.open(browser, url, '?manual', web.keepInstances);
  const result = await page.evaluate(async (frames) => {
    await glide.ready;
    const began = performance.now();
    const code = await glide.run(['--batch', '--no-vsync', '--frames', frames, '--screenshot', 'shot.bmp']);
    const seconds = (performance.now() - began) / 1000;
    return { code, seconds, frameMs: [...window.glideInstance.glideFrameMs] };
  }, frames);
  await page.close();
  return result;
}

async function firstFrame(browser, url) {
  const page = await web.open(browser, url);
  await page.waitForFunction(() => performance.getEntriesByName('glide-first-frame').length, { timeout: 120000 });
  const seconds = await page.evaluate(() => performance.getEntriesByName('glide-first-frame')[0].startTime / 1000);
  await page.close();
  return seconds;
}

// The zip's files with their stored (compressed) and unpacked sizes, from its central directory.
function zipSizes(file) {
  const bytes = fs.readFileSync(file);
  let end = bytes.length - 22;
  while (end >= 0 && bytes.readUInt32LE(end) !== 0x06054b50) end--;
  if (end < 0) throw new Error(`${file} is not a zip file`);
  const entries = [];
  for (let at = bytes.readUInt32LE(end + 16), n = bytes.readUInt16LE(end + 10); n > 0; n--) {
    const nameLength = bytes.readUInt16LE(at + 28);
    entries.push({
      name: bytes.toString('utf8', at + 46, at + 46 + nameLength),
      packed: bytes.readUInt32LE(at + 20),
      size: bytes.readUInt32LE(at + 24),
    });
    at += 46 + nameLength + bytes.readUInt16LE(at + 30) + bytes.readUInt16LE(at + 32);
  }
  return { bytes: bytes.length, entries: entries.filter((entry) => !entry.name.endsWith('/')) };
}

(async () => {
  const zip = zipArgument || fs.readdirSync(path.join(web.repo, 'dist'))
    .filter((name) => /^glide-.*-web\.zip$/.test(name)).map((name) => path.join(web.repo, 'dist', name))[0];
  const linux = linuxRuns();
  const server = await web.serve(path.resolve(webBuild));
  const browser = await web.launch();
  const pages = [];
  const firsts = [];
  for (let i = 0; i < runs; i++) {
    const context = await browser.createBrowserContext();
    pages.push(await pageRun(context, server.url));
    firsts.push(await firstFrame(context, server.url));
    await context.close();
  }
  await browser.close();
  await server.close();
  if (pages.some((run) => run.code !== 0)) throw new Error(`a page run exited with ${pages.map((run) => run.code)}`);

  const ms = (seconds) => `${(seconds * 1000).toFixed(0)} ms`;
  const browserRun = median(pages.map((run) => run.seconds));
  const linuxRun = median(linux);
  // The first frame loads the scene; the last one reads the picture back, waiting for all the drawing before it.
  const own = pages.map((run) => run.frameMs.slice(1, -1));
  console.log(`${frames} frames of the bundled scene, --no-vsync, median of ${runs} runs:`);
  console.log('  headless Chromium (SwiftShader), glide.run() to its exit code: ' +
    `${ms(browserRun)} (${ms(browserRun / frames)} a frame)`);
  console.log(`  Linux build under Xvfb, whole run: ${ms(linuxRun)} (${ms(linuxRun / frames)} a frame)`);
  console.log(`  ratio: ${(browserRun / linuxRun).toFixed(2)}`);
  const frameMs = (pick) => ms(median(pages.map((run) => pick(run.frameMs))) / 1000);
  console.log(`  the page's own time per frame: median ${median(own.flat()).toFixed(2)} ms, ` +
    `mean ${mean(own.flat()).toFixed(2)} ms, most ${Math.max(...own.flat()).toFixed(2)} ms ` +
    `(first frame, with loading: ${frameMs((all) => all[0])}; ` +
    `last, with the read-back: ${frameMs((all) => all.at(-1))})`);
  console.log(`  opening the page to its first frame: ${ms(median(firsts))}`);
  if (!zip) {
    console.log('no dist/glide-*-web.zip: run ./build.sh web for the download sizes');
    return;
  }
  const { bytes, entries } = zipSizes(zip);
  const mib = (n) => (n < 1048576 ? `${(n / 1024).toFixed(1)} KiB` : `${(n / 1048576).toFixed(2)} MiB`);
  console.log(`${path.basename(zip)}: ${mib(bytes)}`);
  for (const entry of entries) console.log(`  ${entry.name}: ${mib(entry.packed)} packed, ${mib(entry.size)} unpacked`);
  const sum = (key) => entries.reduce((total, entry) => total + entry[key], 0);
  console.log(`  all files: ${mib(sum('packed'))} packed, ${mib(sum('size'))} unpacked`);
})().catch((error) => {
  console.error(error);
  process.exit(1);
});
