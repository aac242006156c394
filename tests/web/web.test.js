// glide's page in headless Chromium against the Linux build: node web.test.js WEB_BUILD LINUX_BUILD [NAME...]
'use strict';

const assert = require('assert/strict');
const fs = require('fs');
const path = require('path');
const { execFileSync } = require('child_process');
const web = require('./lib');

const [webBuild, linuxBuild, ...only] = process.argv.slice(2).map((arg, at) => (at < 2 ? path.resolve(arg) : arg));
const frames = '500';
const flight = ['--batch', '--keys', 'flight.keys', '--frames', frames, '--overlay', 'overlay.txt',
  '--screenshot', 'shot.bmp'];
const keys = fs.readFileSync(web.flightKeys, 'utf8');
const deInit = 'init  DeInit() - Deinitialization OpenGL  - 0';

// Pixels below the overlay's 60 rows that differ by more than 8 in a channel, as a share of them all.
function differing(a, b) {
  assert.deepEqual([a.width, a.height], [b.width, b.height]);
  let count = 0;
  for (let at = 60 * a.width * 3; at < a.rgb.length; at += 3) {
    if ([0, 1, 2].some((c) => Math.abs(a.rgb[at + c] - b.rgb[at + c]) > 8)) count++;
  }
  return count / (a.width * (a.height - 60));
}

// The horizontal extent of the overlay's first line: its black pixels in the 11 rows from the first that has any.
function firstLineWidth(picture) {
  const black = (x, y) => [0, 1, 2].every((c) => picture.rgb[(y * picture.width + x) * 3 + c] <= 8);
  let top = 0;
  while (top < 60 && ![...Array(picture.width).keys()].some((x) => black(x, top))) top++;
  let least = picture.width;
  let most = -1;
  for (let y = top; y < Math.min(top + 11, picture.height); y++) {
    for (let x = 0; x < picture.width; x++) if (black(x, y)) { least = Math.min(least, x); most = Math.max(most, x); }
  }
  return most - least + 1;
}

const lines = (buffer) => buffer.toString('latin1').split('\n').filter(Boolean);
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

const tests = [];
const test = (name, body) => tests.push({ name, body });

for (const level of [1, 2]) {
  test(`the scripted flight at log level ${level} logs, writes and draws as the Linux build`, async ({
    browser, url,
  }) => {
    const linux = web.native(linuxBuild, flight, { level });
    const page = await web.open(browser, url, '?manual');
    const code = await web.run(page, flight, { 'dbIlm/setting.ini': web.settings(level), 'flight.keys': keys });
    assert.equal(code, 0, page.problems.join('\n'));
    const log = await web.readFile(page, 'log.txt');
    assert.equal(log.toString('latin1'), linux.log.toString('latin1'));
    assert.equal(lines(log).length, level === 1 ? 21 : 53);
    assert.equal((await web.readFile(page, 'overlay.txt')).toString('latin1'), linux.overlay.toString('latin1'));
    assert.equal(await page.$eval('#shot-link', (link) => !link.hidden && link.download), 'shot.bmp');
    const shot = web.readBmp(await web.readFile(page, 'shot.bmp'));
    const reference = web.readBmp(linux.shot);
    const share = differing(shot, reference);
    assert.ok(share <= 0.02, `${(share * 100).toFixed(2)} % of the pixels differ`);
    const widths = [firstLineWidth(shot), firstLineWidth(reference)];
    assert.ok(widths[1] > 400 && Math.abs(widths[0] - widths[1]) <= 16,
      `overlay's first line ${widths.join(' px against ')} px`);
    console.log(`  ${lines(log).length} log lines identical, ${(share * 100).toFixed(3)} % of pixels differ, ` +
      `first line ${widths[0]} px against ${widths[1]} px`);
  });
}

test('W held through the keyboard moves the glider, Esc ends the run, and the page hands its log over', async ({
  browser, url, downloads,
}) => {
  const page = await web.open(browser, url, '?manual');
  await web.start(page, ['--overlay', 'overlay.txt']);
  await page.waitForFunction(() => glide.state === 'running', { timeout: 60000 });
  await page.keyboard.down('KeyW');
  await sleep(2000);
  await page.keyboard.up('KeyW');
  // The program's keys are kept from the page; Space, which it does not read, is left to the page's controls.
  const kept = await page.evaluate(() => [40, 32].map((keyCode) => !document.dispatchEvent(
    new KeyboardEvent('keyup', { keyCode, cancelable: true }))));
  assert.deepEqual(kept, [true, false]);
  await page.keyboard.press('Escape');
  assert.equal(await web.exited(page), 0);
  assert.equal(await page.evaluate(() => glide.state), 'exited');
  const log = await web.readFile(page, 'log.txt');
  assert.equal(lines(log).at(-2).replace(/^\d+ - /, ''), deInit);
  const [x, y] = (await web.readFile(page, 'overlay.txt')).toString().match(/-?\d+\.\d+/g).map(Number);
  assert.ok(x > 0.3 && Math.abs(y) < 0.01, `the glider stands at ${x}, ${y}`);
  await page.click('#log-link');
  const saved = path.join(downloads, 'log.txt');
  for (let waited = 0; !fs.existsSync(saved) && waited < 10000; waited += 100) await sleep(100);
  assert.deepEqual(fs.readFileSync(saved), log);
});

test('a missing glider texture opens the Error dialog and the run goes on after OK', async ({ browser, url }) => {
  const page = await web.open(browser, url, '?manual');
  await web.start(page, ['--frames', '20'], { 'Glader/glader01.bmp': null });
  const dialog = await page.waitForSelector('dialog#glide-message[open]', { timeout: 60000 });
  const text = await dialog.evaluate((element) => element.innerText.trim().split(/\s*\n\s*/));
  assert.deepEqual(text, ['Error', 'Failed to open DIB file Glader/glader01.bmp.', 'OK']);
  assert.equal(await page.evaluate(() => glide.state), 'ready');
  await (await dialog.$('button')).click();
  assert.equal(await web.exited(page), 0);
  const log = lines(await web.readFile(page, 'log.txt'));
  assert.ok(log.some((line) => line.endsWith('Render   RenderScene(End Load) Proces - 1')), log.join('\n'));
});

test('a fault inside the program after the first frame ends the run with the page\'s error', async ({
  browser, url,
}) => {
  const page = await web.open(browser, url, '?manual', web.keepInstances);
  await web.start(page, []);
  await page.waitForFunction(() => glide.state === 'running', { timeout: 60000 });
  assert.ok(await page.evaluate(() => window.glideInstance.glideFrameMs.length > 0), 'no frame times recorded');
  // The next frame's check for a stop request throws inside the program, as a trap would.
  await page.evaluate(() => Object.defineProperty(window.glideInstance, 'glideStop', {
    get() { throw new Error('a fault'); },
  }));
  const ended = await page.evaluate(() => window.exitCode.then((code) => `exit ${code}`, (error) => error.message));
  assert.match(ended, /glide stopped: .*a fault/);
  assert.equal(await page.evaluate(() => glide.state), 'exited');
  assert.match(await page.$eval('#notice', (notice) => !notice.hidden && notice.innerText), /stopped with an error/);
  // Its key listeners are gone: the page's keys are the page's again.
  assert.equal(await page.evaluate(() => document.dispatchEvent(new KeyboardEvent('keydown',
    { key: 'ArrowDown', keyCode: 40, cancelable: true }))), true);
});

// Broken files the desktop builds survive, each with its messages: the page must end as the Linux build does.
const bmp = fs.readFileSync(path.join(web.repo, 'Objects/tower.bmp'));
const withHeader = (at, value) => { const copy = Buffer.from(bmp); copy.writeInt32LE(value, at); return copy; };
const broken = {
  'a texture of an unknown header size': { 'Objects/tower.bmp': withHeader(14, 124) },
  'a texture cut after its header': { 'Horizon/sky.bmp': bmp.subarray(0, 54) },
  'a texture claiming 2^30 rows': { 'Objects/tower.bmp': withHeader(22, 1 << 30) },
  'a mesh of wrong numbers': { 'Location/hills.obj': 'v  1e39 nan 3\nvt  0 0 0\nf 1/1/1 99999999/1/1 -5/1/1\nf\n' },
  'a link file with an overflowing count': { 'dbIlm/scene.txt': '# Location\nLocation/hills\nhills\n2147483648\n1\n' },
  'settings that do not scan': { 'dbIlm/setting.ini': 'one\n\nslow\n' },
};

test('broken scene files end with the Linux build\'s messages, log and exit code', async ({ browser, url }) => {
  const wrong = [];
  for (const [name, files] of Object.entries(broken)) {
    const args = ['--batch', '--frames', '3'];
    const linux = web.native(linuxBuild, args, { files });
    const page = await web.open(browser, url, '?manual');
    const code = await web.run(page, args, files);
    const errors = page.problems.filter((line) => line.startsWith('Error: '));
    const log = await web.readFile(page, 'log.txt');
    if (code !== linux.code || String(errors) !== String(linux.errors) || !log.equals(linux.log)) {
      wrong.push(`${name}: exit ${code}, ${JSON.stringify(errors)}; the Linux build: exit ${linux.code}, ` +
        `${JSON.stringify(linux.errors)}${log.equals(linux.log) ? '' : '; the logs differ'}`);
    }
    await page.close();
  }
  assert.deepEqual(wrong, []);
});

const flyingTestmap = () => glide.state === 'running' && glide.readFile('Location/testmap.obj');

test('a terrain made by glide-scene flies when chosen while the bundled scene flies', async ({ browser, url }) => {
  const scene = path.join(web.scratch('terrain'), 'My world');
  const tool = path.join(linuxBuild, 'glide-scene');
  const map = path.join(path.dirname(scene), 'testmap.bmp');
  web.writeBmp(map, 129, 129, (x, y) => Math.round(127 + 60 * Math.sin(x / 9) * Math.cos(y / 13)));
  execFileSync(tool, ['new', scene], { stdio: 'ignore' });
  execFileSync(tool, ['terrain', scene, map, '--faces', '20000'], { stdio: 'ignore' });
  const copy = `${scene} (Linux)`;
  fs.cpSync(scene, copy, { recursive: true });
  const linux = web.native(linuxBuild, ['--batch', '--frames', '3'], { scene: copy });

  const page = await web.open(browser, url);
  await page.waitForFunction(() => glide.state === 'running', { timeout: 60000 });
  const chosen = Date.now();
  await (await page.$('#folder')).uploadFile(scene);
  await page.waitForFunction(flyingTestmap, { timeout: 20000 });
  console.log(`  the chosen scene flew after ${((Date.now() - chosen) / 1000).toFixed(1)} s`);
  await page.keyboard.press('Escape');
  await page.waitForFunction(() => glide.state === 'exited' && /The flight has ended/.test(document.body.innerText));
  assert.equal((await web.readFile(page, 'log.txt')).toString('latin1'), linux.log.toString('latin1'));

  await page.click('#fly-again');
  await page.waitForFunction(flyingTestmap, { timeout: 20000 });
  await page.evaluate(() => document.getElementById('canvas').getContext('webgl2')
    .getExtension('WEBGL_lose_context').loseContext());
  await page.waitForFunction(() => /lost its WebGL 2 context/.test(document.body.innerText), { timeout: 8000 });
});

test('a browser without WebGL 2, or one that gives the flight no context, gets a message saying so', async ({ browser, url }) => {
  const page = await web.open(browser, url, '', () => {
    const getContext = HTMLCanvasElement.prototype.getContext;
    HTMLCanvasElement.prototype.getContext = function (kind, ...rest) {
      return kind === 'webgl2' ? null : getContext.call(this, kind, ...rest);
    };
  });
  await page.waitForFunction(() => /needs WebGL 2/.test(document.getElementById('notice').innerText),
    { timeout: 8000 });
  // One that offers it, but gives the flight's canvas none, as when too many contexts are open.
  const refused = await web.open(browser, url, '', () => {
    const getContext = HTMLCanvasElement.prototype.getContext;
    HTMLCanvasElement.prototype.getContext = function (kind, ...rest) {
      if (kind !== 'webgl2' || this.id !== 'canvas') return getContext.call(this, kind, ...rest);
      this.dispatchEvent(new Event('webglcontextcreationerror'));
      return null;
    };
  });
  await refused.waitForFunction(() => glide.state === 'exited', { timeout: 60000 });
  assert.match(await refused.$eval('#notice', (notice) => notice.innerText), /gave the flight no WebGL 2 context/);
});

test('a download that failed is offered again, and then flies', async ({ browser, url }) => {
  const page = await browser.newPage();
  await page.setRequestInterception(true);
  let refused = false;
  page.on('request', (request) => {
    if (refused || !request.url().endsWith('/glide.wasm')) return request.continue();
    refused = true;
    return request.respond({ status: 503, body: '' });
  });
  await page.goto(url);
  await page.waitForFunction(() => /could not start: .*503/.test(document.getElementById('notice').innerText) &&
    !document.getElementById('fly-again').hidden, { timeout: 20000 });
  await page.click('#fly-again');
  await page.waitForFunction(() => glide.state === 'running', { timeout: 60000 });
});

test('a folder that is no scene, chosen, and one too large, dropped, are refused before reading', async ({
  browser, url,
}) => {
  const page = await web.open(browser, url, '?manual');
  await page.evaluate(() => glide.ready);
  const input = await page.$('#folder');
  const message = () => page.evaluate(() => document.getElementById('choose-message').textContent);
  const plain = path.join(web.scratch('plain'), 'holiday');
  fs.mkdirSync(plain);
  fs.writeFileSync(path.join(plain, 'notes.txt'), 'no scene here');
  await input.uploadFile(plain);
  await page.waitForFunction(() => document.getElementById('choose-message').textContent);
  assert.match(await message(), /“holiday” is not a glide scene: it has no dbIlm\/setting\.ini/);
  const huge = path.join(web.scratch('huge'), 'huge');
  fs.mkdirSync(path.join(huge, 'dbIlm'), { recursive: true });
  fs.mkdirSync(path.join(huge, 'Location'));
  fs.writeFileSync(path.join(huge, 'dbIlm/setting.ini'), web.settings(1));
  fs.writeFileSync(path.join(huge, 'Location/big.obj'), '');
  fs.truncateSync(path.join(huge, 'Location/big.obj'), 600 * 1048576);
  await web.drop(page, '#drop', huge);
  await page.waitForFunction(() => /huge/.test(document.getElementById('choose-message').textContent));
  assert.match(await message(), /“huge” holds 600\.0 MiB of files, more than the 512\.0 MiB/);
  assert.equal(await page.evaluate(() => glide.state), 'ready');
});

(async () => {
  const server = await web.serve(webBuild);
  const browser = await web.launch();
  let passed = 0;
  let failed = 0;
  for (const { name, body } of tests) {
    if (only.length && !only.some((word) => name.includes(word))) continue;
    const began = Date.now();
    const downloads = web.scratch('downloads');
    const context = await browser.createBrowserContext({
      downloadBehavior: { policy: 'allow', downloadPath: downloads },
    });
    try {
      await body({ browser: context, url: server.url, downloads });
      passed++;
      console.log(`PASS ${name} (${((Date.now() - began) / 1000).toFixed(1)} s)`);
    } catch (error) {
      failed++;
      console.log(`FAIL ${name}\n  ${String(error.stack || error).replace(/\n/g, '\n  ')}`);
    } finally {
      await context.close();
    }
  }
  await browser.close();
  await server.close();
  console.log(`${passed} passed, ${failed} failed`);
  process.exit(failed ? 1 : 0);
})();
