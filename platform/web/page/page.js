// The page around glide's module: loading with progress, flights of the bundled or the user's scene, the
// page's messages, and window.glide, the interface for scripts.
'use strict';

(() => {
  const maxSceneBytes = 512 * 1024 * 1024;
  const settingsFile = 'dbIlm/setting.ini';
  const manual = new URLSearchParams(location.search).has('manual');
  const element = (id) => document.getElementById(id);

  // One flight: one module instance on its own canvas, flying the bundled scene (/scene) or the user's (/user).
  // `current` is the flight the page shows; a flight replaced by another is stopped and forgotten.
  let current = null;
  let runUsed = false;
  // Counts the flights asked for: a chosen scene whose files are read after a later choice was made is dropped.
  let choices = 0;
  const webgl2 = hasWebGL2();

  function show(id, on) { element(id).hidden = !on; }

  function notice(text, flyAgain) {
    element('notice-text').textContent = text;
    show('fly-again', flyAgain);
    show('notice', true);
    show('loading', false);
  }

  function progress(fraction, text) {
    const bar = element('progress');
    if (fraction === null) bar.removeAttribute('value'); else bar.value = fraction;
    element('status').textContent = text;
    show('loading', true);
    show('notice', false);
  }

  function mebibytes(bytes) { return `${(bytes / 1048576).toFixed(1)} MiB`; }

  function hasWebGL2() {
    try {
      const gl = document.createElement('canvas').getContext('webgl2');
      if (!gl) return false;
      const lose = gl.getExtension('WEBGL_lose_context');
      if (lose) lose.loseContext();
      return true;
    } catch {
      return false;
    }
  }

  async function download(url, onProgress) {
    const response = await fetch(url);
    if (!response.ok) throw new Error(`${url}: ${response.status} ${response.statusText}`);
    const total = Number(response.headers.get('Content-Length')) || 0;
    const reader = response.body.getReader();
    const chunks = [];
    let loaded = 0;
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      chunks.push(value);
      loaded += value.length;
      onProgress(loaded, total);
    }
    const bytes = new Uint8Array(loaded);
    let at = 0;
    for (const chunk of chunks) { bytes.set(chunk, at); at += chunk.length; }
    return bytes.buffer;
  }

  function loadScript(url) {
    return new Promise((resolve, reject) => {
      const script = document.createElement('script');
      script.src = url;
      script.onload = resolve;
      script.onerror = () => reject(new Error(`${url} could not be loaded`));
      document.head.appendChild(script);
    });
  }

  // The runtime is fetched once and shared by every flight of this page: the module's code and the bundled
  // scene's data, handed to each instance in place of its own downloads. A failed download is tried again by
  // the next flight.
  let runtime = null;
  function loadRuntime() {
    if (runtime) return runtime;
    const sizes = { 'glide.wasm': [0, 0], 'glide.data': [0, 0] };
    const report = (name) => (loaded, total) => {
      sizes[name] = [loaded, total];
      const all = Object.values(sizes);
      const sum = all.reduce((s, [l]) => s + l, 0);
      const whole = all.every(([, t]) => t > 0) ? all.reduce((s, [, t]) => s + t, 0) : 0;
      if (runtime === loading && current && current.state === 'loading') {
        const of = whole ? ` of ${mebibytes(whole)}` : '';
        progress(whole ? Math.min(1, sum / whole) : null, `Loading glide… ${mebibytes(sum)}${of}`);
      }
    };
    const loading = Promise.all([
      typeof createGlide === 'function' ? null : loadScript('glide.js'),
      download('glide.wasm', report('glide.wasm')),
      download('glide.data', report('glide.data')),
    ]).then(([, wasm, data]) => ({ wasm, data }));
    loading.catch(() => { if (runtime === loading) runtime = null; });
    runtime = loading;
    return loading;
  }

  function newCanvas(flight) {
    const old = element('canvas');
    const canvas = document.createElement('canvas');
    canvas.id = 'canvas';
    canvas.width = 800;
    canvas.height = 600;
    const noContext = (text) => () => {
      if (flight !== current || flight.state === 'exited') return;
      flight.lost = true;
      notice(text, true);
      if (flight.instance) flight.instance.glideStop = true;
    };
    canvas.addEventListener('webglcontextlost', noContext('The page lost its WebGL 2 context (the graphics ' +
      'driver was reset, or the browser needed the graphics memory back), so the flight cannot go on.'));
    canvas.addEventListener('webglcontextcreationerror', noContext('The browser gave the flight no WebGL 2 ' +
      'context (it may have too many open, or its graphics process may have failed), so it cannot fly. Close ' +
      'other pages that draw with WebGL, or restart the browser.'));
    old.replaceWith(canvas);
    return canvas;
  }

  function stop(flight) {
    flight.replaced = true;
    if (!flight.instance || flight.state === 'exited') return;
    flight.instance.glideStop = true;
    if (flight.instance.glideDialog) flight.instance.glideDialog.close();
  }

  // Makes the flight's instance; resolves once the runtime and the bundled scene are in its file system.
  async function prepare(flight) {
    if (current) stop(current);
    current = flight;
    element('choose-message').textContent = '';
    show('shot-link', false);
    const canvas = newCanvas(flight);
    progress(null, 'Loading glide…');
    const { wasm, data } = await loadRuntime();
    if (flight.replaced) return false;
    progress(null, 'Starting glide…');
    const instance = await createGlide({
      canvas,
      wasmBinary: wasm,
      getPreloadedPackage: (name) => (name.endsWith('glide.data') ? data.slice(0) : null),
      locateFile: (path) => path,
      print: (text) => console.log(text),
      printErr: (text) => console.error(text),
      onFirstFrame: () => {
        flight.state = 'running';
        if (flight !== current) return;
        performance.mark('glide-first-frame');
        show('loading', false);
      },
      onExit: (code) => finish(flight, code, null),
      onAbort: (what) => finish(flight, null, what),
    });
    flight.instance = instance;
    if (flight.replaced) return false;
    flight.state = 'ready';
    return true;
  }

  function finish(flight, code, failure) {
    if (flight.state === 'exited') return;
    flight.state = 'exited';
    flight.code = code;
    if (failure === null) flight.exited.resolve(code);
    else flight.exited.reject(new Error(`glide stopped: ${failure}`));
    if (flight !== current || flight.lost) return;
    if (failure !== null) {
      notice(`glide stopped with an error (${failure}). Fly again to start over.`, true);
    } else {
      notice(code === 0 ? 'The flight has ended.' : `The flight has ended with exit code ${code}.`, true);
    }
    if (flight.screenshot && readFile(flight.screenshot)) {
      const link = element('shot-link');
      link.download = flight.screenshot.split('/').pop();
      show('shot-link', true);
    }
  }

  function deferred() {
    let resolve, reject;
    const promise = new Promise((yes, no) => { resolve = yes; reject = no; });
    promise.catch(() => {});
    return { promise, resolve, reject };
  }

  function newFlight(scene) {
    return { scene, dir: scene ? '/user' : '/scene', state: 'loading', instance: null, exited: deferred() };
  }

  // Writes [path, string or bytes or null] pairs under dir; null deletes. Bytes the page read itself are handed
  // over (canOwn), a script's are copied.
  function writeFiles(FS, dir, files, canOwn) {
    for (const [path, data] of files) {
      const full = `${dir}/${path}`;
      if (data === null) {
        try { FS.unlink(full); } catch { /* deleting a file that is not there leaves nothing to do */ }
        continue;
      }
      const folder = full.slice(0, full.lastIndexOf('/'));
      FS.mkdirTree(folder);
      FS.writeFile(full, data, { canOwn });
    }
  }

  function start(flight, args) {
    const FS = flight.instance.FS;
    FS.chdir(flight.dir);
    const at = args.indexOf('--screenshot');
    if (at >= 0 && at + 1 < args.length) flight.screenshot = args[at + 1];
    if (flight === current) progress(null, 'Loading the scene…');
    try {
      flight.instance.callMain(args);
    } catch (error) {
      if (error !== 'unwind' && !(error && error.name === 'ExitStatus')) finish(flight, null, String(error));
    }
    return flight.exited.promise;
  }

  // Flies the bundled scene (scene null) or the user's: a list of { path, file } relative to the scene folder.
  async function fly(scene) {
    if (!webgl2) return;
    const flight = newFlight(scene);
    const choice = ++choices;
    let files = null;
    if (scene) {
      const message = element('choose-message');
      message.textContent = `Reading ${scene.name}…`;
      try {
        files = await Promise.all(scene.files.map(async ({ path, file }) =>
          [path, new Uint8Array(await file.arrayBuffer())]));
      } catch (error) {
        if (choice !== choices) return;
        message.textContent = `“${scene.name}” could not be read (${error.message}): choose it again.`;
        return;
      }
      if (choice !== choices) return;
    }
    try {
      if (!await prepare(flight)) return;
      if (files) {
        flight.instance.FS.mkdirTree(flight.dir);
        writeFiles(flight.instance.FS, flight.dir, files, true);
      }
      start(flight, []);
    } catch (error) {
      if (flight === current) failed(error);
    }
  }

  function failed(error) {
    const local = location.protocol === 'file:' ?
      ' Pages opened from a file cannot load it: serve the folder (python3 -m http.server) and open it ' +
      'through http://.' : '';
    notice(`glide could not start: ${error.message}.${local}`, true);
  }

  function readFile(path) {
    const flight = current;
    if (!flight || !flight.instance) return null;
    const FS = flight.instance.FS;
    const full = path.startsWith('/') ? path : `${flight.dir}/${path}`;
    try {
      if (FS.isDir(FS.stat(full).mode)) return null;
      return FS.readFile(full);
    } catch {
      return null;
    }
  }

  // The folder the user chose or dropped: the files under the shallowest folder holding dbIlm/setting.ini,
  // with their paths relative to it. The browser's own paths start with the chosen folder's name.
  function chooseScene(list) {
    const message = element('choose-message');
    let root = null;
    for (const { path } of list) {
      if (path !== settingsFile && !path.endsWith(`/${settingsFile}`)) continue;
      const prefix = path.slice(0, path.length - settingsFile.length);
      if (root === null || prefix.length < root.length) root = prefix;
    }
    const name = list.length ? list[0].path.split('/')[0] : 'The folder';
    if (root === null) {
      message.textContent = `“${name}” is not a glide scene: it has no ${settingsFile}. Choose the folder ` +
        'that glide-scene new made, the one that holds dbIlm, Location, Horizon, Objects and Glader.';
      return;
    }
    const files = list
      .filter(({ path }) => path.startsWith(root) && !path.slice(root.length).startsWith('.glide-scene/'))
      .map(({ path, file }) => ({ path: path.slice(root.length), file }));
    const size = files.reduce((sum, { file }) => sum + file.size, 0);
    if (size > maxSceneBytes) {
      message.textContent = `“${name}” holds ${mebibytes(size)} of files, more than the ` +
        `${mebibytes(maxSceneBytes)} a scene may hold in the browser. Make its terrain smaller ` +
        '(glide-scene terrain --faces N) or fly it with the desktop program.';
      return;
    }
    fly({ name: root ? root.slice(0, -1) : name, files });
  }

  async function droppedFiles(items) {
    const list = [];
    const walk = async (entry) => {
      if (entry.isFile) {
        const file = await new Promise((resolve, reject) => entry.file(resolve, reject));
        list.push({ path: entry.fullPath.replace(/^\//, ''), file });
      } else if (entry.isDirectory) {
        const reader = entry.createReader();
        for (;;) {
          const batch = await new Promise((resolve, reject) => reader.readEntries(resolve, reject));
          if (!batch.length) break;
          for (const child of batch) await walk(child);
        }
      }
    };
    const entries = [...items].map((item) => item.webkitGetAsEntry && item.webkitGetAsEntry()).filter(Boolean);
    for (const entry of entries) await walk(entry);
    return list;
  }

  function listenForScenes() {
    const input = element('folder');
    input.addEventListener('change', () => {
      const list = [...input.files].map((file) => ({ path: file.webkitRelativePath || file.name, file }));
      input.value = '';
      input.blur();
      if (list.length) chooseScene(list);
    });
    const zone = element('drop');
    document.addEventListener('dragover', (event) => {
      event.preventDefault();
      event.dataTransfer.dropEffect = 'copy';
      zone.classList.add('over');
    });
    document.addEventListener('dragleave', (event) => {
      if (!event.relatedTarget) zone.classList.remove('over');
    });
    document.addEventListener('drop', async (event) => {
      event.preventDefault();
      zone.classList.remove('over');
      try {
        const list = await droppedFiles(event.dataTransfer.items);
        if (!list.length) {
          element('choose-message').textContent = 'Nothing was dropped that the page can read: drop a scene folder.';
          return;
        }
        chooseScene(list);
      } catch (error) {
        element('choose-message').textContent = `The dropped folder could not be read: ${error.message}`;
      }
    });
  }

  function listenForDownloads() {
    const offer = (link, path) => (event) => {
      const bytes = readFile(path());
      if (!bytes) {
        event.preventDefault();
        element('choose-message').textContent = `There is no ${path()} yet: glide writes it as the flight starts.`;
        return;
      }
      if (link.href.startsWith('blob:')) URL.revokeObjectURL(link.href);
      link.href = URL.createObjectURL(new Blob([bytes]));
    };
    const log = element('log-link');
    log.addEventListener('click', offer(log, () => 'log.txt'));
    const shot = element('shot-link');
    shot.addEventListener('click', offer(shot, () => current.screenshot));
    element('fly-again').addEventListener('click', () => fly(current ? current.scene : null));
  }

  async function run(args = [], files = {}) {
    if (!manual) throw new Error('glide.run needs the page opened with ?manual');
    if (runUsed) throw new Error('glide.run runs once per page load');
    if (!Array.isArray(args) || !args.every((arg) => typeof arg === 'string')) {
      throw new TypeError('glide.run: args must be an array of strings');
    }
    runUsed = true;
    await ready;
    const flight = current;
    if (flight.scene || flight.state !== 'ready') throw new Error('glide.run: the page is flying another scene');
    writeFiles(flight.instance.FS, flight.dir, Object.entries(files), false);
    return start(flight, args);
  }

  const bundled = newFlight(null);
  const readyPromise = (async () => {
    if (!webgl2) {
      bundled.state = 'exited';
      notice('glide needs WebGL 2, and this browser offers none (it may be switched off, or the graphics ' +
        'driver may be blocked). Try a current Firefox, Chrome, Edge or Safari, or switch on hardware ' +
        'acceleration in the browser’s settings.', false);
      throw new Error('this browser has no WebGL 2');
    }
    if (!await prepare(bundled)) return;
    if (manual) {
      element('status').textContent = 'Ready: waiting for a script to call glide.run().';
      show('progress', false);
    } else {
      start(bundled, []);
    }
  })();
  readyPromise.catch((error) => { if (bundled === current && bundled.state !== 'exited') failed(error); });
  const ready = readyPromise.then(() => undefined);
  ready.catch(() => {});

  Object.defineProperty(window, 'glide', {
    value: Object.freeze({
      ready,
      run,
      readFile,
      get state() { return current ? current.state : bundled.state; },
    }),
  });

  listenForScenes();
  listenForDownloads();
})();
