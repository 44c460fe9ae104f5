// page.js - the platform of the Kalvorant page: it owns the canvas, the 20 ms clock, the file
// picker and the controls, and asks the WebAssembly module (kalvorant_web.js) for each frame.
//
// The module does all the work of the native program (loader, views, the demo frame); this script
// only moves bytes in and pixels out. wrapModule is also what the Node tests drive, so the tests
// go through the same calls as the page. Errors from the module are one-line texts that are only
// ever shown as text, never as markup.
"use strict";

const FRAME_MS = 20;                      // the demo's timer period: 50 frames a second
const MAX_LATE_MS = 250;                  // later than this (a hidden tab), the clock starts afresh
const MAX_FILE_BYTES = 64 * 1024 * 1024;  // larger files are refused before they are read
const BUNDLED_SCENE = "object.3ds";
const TIMING_WINDOW = 50;                 // frames averaged for the status line

// A thin record of functions over the module's C entry. Names cross as Latin-1 bytes, which is
// how the loader keeps them, so a camera name goes back to the module exactly as it came.
function wrapModule(m) {
    const latin1At = (ptr) => {
        let text = "";
        for (let p = ptr; m.HEAPU8[p] !== 0; ++p) text += String.fromCharCode(m.HEAPU8[p]);
        return text;
    };
    // Runs use(ptr, length) with bytes copied into the module's memory, or returns null when the
    // module cannot find room for them.
    const withBytes = (bytes, use) => {
        const ptr = m._malloc(Math.max(bytes.length, 1));
        if (ptr === 0) return null;
        try {
            m.HEAPU8.set(bytes, ptr);
            return use(ptr, bytes.length);
        } finally {
            m._free(ptr);
        }
    };
    const outOfMemory = { ok: false, error: "not enough memory to hold this file in the page" };

    return {
        width: m._kalv_width(),
        height: m._kalv_height(),
        // bytes: a Uint8Array holding a whole .3ds file. Returns {ok, error}.
        load(bytes) {
            const ok = withBytes(bytes, (ptr, length) => m._kalv_load(ptr, length));
            if (ok === null) return outOfMemory;
            return { ok: ok === 1, error: ok === 1 ? "" : latin1At(m._kalv_error()) };
        },
        // view: "demo", "fit", "camera" or "camera:NAME". Returns {ok, error}.
        setView(view) {
            const bytes = Uint8Array.from(view + "\0", (c) => c.charCodeAt(0) & 0xff);
            const ok = withBytes(bytes, (ptr) => m._kalv_set_view(ptr));
            if (ok === null) return outOfMemory;
            return { ok: ok === 1, error: ok === 1 ? "" : latin1At(m._kalv_error()) };
        },
        step() {
            m._kalv_step();
        },
        frameNumber: () => m._kalv_frame_number(),
        meshCount: () => m._kalv_mesh_count(),
        faceCount: () => m._kalv_face_count(),
        cameraNames() {
            const names = [];
            for (let i = 0; i < m._kalv_camera_count(); ++i) names.push(latin1At(m._kalv_camera_name(i)));
            return names;
        },
        // A copy of the frame as 0x00RRGGBB words.
        pixels() {
            const start = m._kalv_pixels() >>> 2;
            return m.HEAPU32.slice(start, start + this.width * this.height);
        },
        // The frame as canvas bytes, a view that is valid until the module's next call.
        rgba() {
            const start = m._kalv_rgba();
            return m.HEAPU8.subarray(start, start + this.width * this.height * 4);
        },
    };
}

// The words kalvorant-info adds to a refusal when the file does not even start like a 3DS file
// (someone dropped a picture or an .obj), so the page says the same as the tool.
function not3dsHint(bytes) {
    if (bytes.length >= 2 && (bytes[0] | (bytes[1] << 8)) === 0x4d4d) return "";
    return " (this does not look like a 3DS file: it does not start with the main chunk 0x4D4D)";
}

function startPage() {
    const canvas = document.getElementById("screen");
    const context = canvas.getContext("2d");
    const statusLine = document.getElementById("status");
    const errorLine = document.getElementById("error");
    const fileInput = document.getElementById("file");
    const viewSelect = document.getElementById("view");
    const pauseButton = document.getElementById("pause");
    const stepButton = document.getElementById("step");

    let scene = null;
    let sceneName = "";
    let image = null;
    let paused = false;
    let nextDue = null;
    const stepTimes = [];   // performance.now() of recent frames, for the pace
    const refreshTimes = [];// and of recent display refreshes, which bound what the pace can be
    const frameCosts = [];  // milliseconds each recent frame took to compute and draw
    // Read-only figures for whoever inspects the page (the page test does): the pace and the
    // cost of frames are measured here, where the frames happen.
    const figures = { firstFrameAt: null, stepTimes, refreshTimes, frameCosts };
    window.kalvorantPage = figures;

    const showError = (text) => {
        errorLine.textContent = text;
    };

    const fitCanvas = () => {
        const room = Math.min((window.innerWidth - 32) / canvas.width,
                              (window.innerHeight - 160) / canvas.height);
        const scale = Math.max(1, Math.floor(room)); // whole numbers keep every pixel square
        canvas.style.width = `${canvas.width * scale}px`;
        canvas.style.height = `${canvas.height * scale}px`;
    };

    const averageCost = () =>
        frameCosts.length === 0 ? 0 : frameCosts.reduce((a, b) => a + b, 0) / frameCosts.length;

    const showStatus = () => {
        statusLine.textContent = `${sceneName} · ${scene.meshCount()} meshes · ` +
            `${scene.faceCount()} faces · frame ${scene.frameNumber()} · ` +
            `${averageCost().toFixed(2)} ms per frame`;
    };

    const remember = (list, value, limit) => {
        list.push(value);
        if (list.length > limit) list.shift();
    };

    const drawFrame = () => {
        const start = performance.now();
        scene.step();
        image.data.set(scene.rgba());
        context.putImageData(image, 0, 0);
        const end = performance.now();
        if (figures.firstFrameAt === null) figures.firstFrameAt = end;
        remember(frameCosts, end - start, TIMING_WINDOW);
        remember(stepTimes, end, 1000);
        showStatus();
    };

    // Advances the scene by one frame without showing it.
    const skipFrame = () => {
        scene.step();
        remember(stepTimes, performance.now(), 1000);
    };

    // One frame per 20 ms of the page's clock, checked at every display refresh. A refresh that
    // comes a whole frame late (the browser skipped one) also runs the frame it missed, unshown,
    // so the animation keeps its pace; that is at most two frames per refresh. A clock that fell
    // far behind (the tab was hidden) starts afresh instead of rushing through the missed frames.
    const tick = (now) => {
        requestAnimationFrame(tick);
        remember(refreshTimes, now, 1000);
        if (paused || sceneName === "") return;
        if (nextDue === null || now - nextDue > MAX_LATE_MS) nextDue = now;
        if (now < nextDue) return;
        if (now - nextDue >= FRAME_MS) {
            skipFrame();
            nextDue += FRAME_MS;
        }
        nextDue += FRAME_MS;
        drawFrame();
    };

    const fillViews = () => {
        viewSelect.replaceChildren();
        const add = (value, label) => {
            const option = document.createElement("option");
            option.value = value;
            option.textContent = label;
            viewSelect.append(option);
        };
        add("demo", "demo");
        add("fit", "fit");
        // A camera is chosen by its name; the first one can go without.
        scene.cameraNames().forEach((name, i) => {
            if (name !== "") add(`camera:${name}`, `camera ${name}`);
            else if (i === 0) add("camera", "camera (unnamed)");
        });
        viewSelect.value = "demo";
    };

    const restart = () => {
        nextDue = null;
        frameCosts.length = 0;
        if (paused && sceneName !== "") drawFrame();
    };

    const openBytes = (name, bytes) => {
        const result = scene.load(bytes);
        if (!result.ok) {
            showError(`${name}: ${result.error}${not3dsHint(bytes)}`);
            return;
        }
        sceneName = name;
        showError("");
        fillViews();
        restart();
    };

    const openFile = async (file) => {
        if (file.size > MAX_FILE_BYTES) {
            const mib = (file.size / (1024 * 1024)).toFixed(1);
            showError(`${file.name}: ${mib} MiB is too large; the page reads files up to 64 MiB`);
            return;
        }
        let bytes;
        try {
            bytes = new Uint8Array(await file.arrayBuffer());
        } catch (error) {
            showError(`${file.name}: the browser could not read the file (${error.message})`);
            return;
        }
        openBytes(file.name, bytes);
    };

    fileInput.addEventListener("change", () => {
        if (fileInput.files.length > 0) openFile(fileInput.files[0]);
        fileInput.value = "";
    });
    document.addEventListener("dragover", (event) => event.preventDefault());
    document.addEventListener("drop", (event) => {
        event.preventDefault();
        const files = event.dataTransfer ? event.dataTransfer.files : [];
        if (files.length > 0) openFile(files[0]);
    });
    viewSelect.addEventListener("change", () => {
        const result = scene.setView(viewSelect.value);
        if (!result.ok) {
            showError(`${viewSelect.value}: ${result.error}`);
            return;
        }
        showError("");
        restart();
    });
    pauseButton.addEventListener("click", () => {
        paused = !paused;
        pauseButton.textContent = paused ? "Run" : "Pause";
        stepButton.disabled = !paused;
        nextDue = null;
    });
    stepButton.addEventListener("click", () => {
        if (paused && sceneName !== "") drawFrame();
    });
    window.addEventListener("resize", fitCanvas);
    fitCanvas();

    const bundled = fetch(BUNDLED_SCENE).then((response) => {
        if (!response.ok) throw new Error(`the server answered ${response.status}`);
        return response.arrayBuffer();
    });
    Promise.all([createKalvorant(), bundled])
        .then(([module, bytes]) => {
            scene = wrapModule(module);
            image = context.createImageData(scene.width, scene.height);
            openBytes(BUNDLED_SCENE, new Uint8Array(bytes));
            requestAnimationFrame(tick);
            // The first frame is drawn at once rather than at the next display refresh.
            if (sceneName !== "") {
                drawFrame();
                nextDue = performance.now() + FRAME_MS;
            }
        })
        .catch((error) => {
            showError(`The page could not start: ${error.message || error}. ` +
                      "Serve it over http (scripts/serve-web.sh); browsers refuse file:// here.");
        });
}

if (typeof module === "object" && module.exports) {
    module.exports = { wrapModule, not3dsHint };
} else {
    startPage();
}
