// page.js - the platform of the Kalvorant page: it owns the canvas, the 20 ms clock, the file
// picker and the controls. It draws nothing itself: a worker (worker.js) holds the scene and
// draws each frame, and this script shows the frames it sends back, so the page answers at once
// however long a frame takes.
//
// Each opened file gets a worker of its own. The scene on show keeps its worker until the next
// file has loaded in a new one; then the old worker is ended, which gives its memory back. A file
// picked while another is still loading ends that one's worker: the later pick always wins.
// Messages from the module are one-line texts that are only ever shown as text, never as markup.
"use strict";

const FRAME_MS = 20;                      // the demo's timer period: 50 frames a second
const MAX_LATE_MS = 250;                  // later than this (a hidden tab), the clock starts afresh
const MAX_FILE_BYTES = 64 * 1024 * 1024;  // larger files are refused before they are read
const BUNDLED_SCENE = "object.3ds";
const TIMING_WINDOW = 50;                 // frames averaged for the status line

// The words kalvorant-info adds to a refusal or a warning when the file does not even start like
// a 3DS file (someone dropped a picture or an .obj), so the page says the same as the tool.
function not3dsHint(bytes) {
    if (bytes.length >= 2 && (bytes[0] | (bytes[1] << 8)) === 0x4d4d) return "";
    return " (this does not look like a 3DS file: it does not start with the main chunk 0x4D4D)";
}

// What the page says about a file the module has answered for: a refusal, the tools' warning for
// a scene without faces, or "" for a scene with something to draw.
function verdictText(name, bytes, answer) {
    if (!answer.ok) return `${name}: ${answer.error}${not3dsHint(bytes)}`;
    if (answer.faces > 0) return "";
    return `warning: "${name}" holds no faces, so there is nothing to draw${not3dsHint(bytes)}`;
}

const plural = (count, one, many) => `${count} ${count === 1 ? one : many}`;

function startPage() {
    const canvas = document.getElementById("screen");
    const context = canvas.getContext("2d");
    const statusLine = document.getElementById("status");
    const errorLine = document.getElementById("error");
    const fileInput = document.getElementById("file");
    const viewSelect = document.getElementById("view");
    const pauseButton = document.getElementById("pause");
    const stepButton = document.getElementById("step");
    const saveButton = document.getElementById("save");

    let wasm = null;        // a promise of the module, compiled once and handed to every worker
    let shown = null;       // the scene on show: {worker, name, meshes, faces, view, frame}
    let loading = null;     // the worker of a file still loading
    let picks = 0;          // files picked so far; only the latest one may be shown
    let drawing = false;    // a frame is asked for and not yet back
    let viewsAsked = 0;     // changes of view not yet answered; frames meanwhile are stale
    let paused = false;
    let nextDue = null;
    const stepTimes = [];   // when recent frames fell due (performance.now()), for the pace
    const refreshTimes = [];// and of recent display refreshes, which bound what the pace can be
    const frameCosts = [];  // milliseconds each recent frame took to compute
    // Read-only figures for whoever inspects the page (the page test does): the pace and the
    // cost of frames are measured here, where the frames happen.
    const figures = { firstFrameAt: null, stepTimes, refreshTimes, frameCosts,
                      // true while a file is loading, a view changing or, when paused, a frame
                      // being drawn: what is on the canvas may still change
                      busy: () => loading !== null || viewsAsked > 0 || (paused && drawing) };
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
        statusLine.textContent = `${shown.name} · ${shown.view} view · ${plural(shown.meshes, "mesh", "meshes")} · ` +
            `${plural(shown.faces, "face", "faces")} · frame ${shown.frame} · ` +
            `${averageCost().toFixed(2)} ms per frame`;
    };

    const remember = (list, value, limit) => {
        list.push(value);
        if (list.length > limit) list.shift();
    };

    const askFrames = (count) => {
        drawing = true;
        shown.worker.postMessage({ kind: "step", count });
    };

    const showFrame = ({ frame, count, cost, rgba }) => {
        drawing = false;
        if (viewsAsked > 0) return;
        context.putImageData(new ImageData(new Uint8ClampedArray(rgba), canvas.width, canvas.height), 0, 0);
        const now = performance.now();
        if (figures.firstFrameAt === null) figures.firstFrameAt = now;
        for (let i = 0; i < count; ++i) remember(frameCosts, cost / count, TIMING_WINDOW);
        shown.frame = frame;
        showStatus();
    };

    // One frame per 20 ms of the page's clock, checked at every display refresh. Frames that fell
    // due since the last one asked for (a skipped refresh, a worker that answered late) are drawn
    // too, unshown, so the animation keeps its pace. While the worker is still drawing nothing
    // more is asked, and a clock that fell far behind (a hidden tab, a frame that took seconds)
    // starts afresh instead of rushing through the missed frames.
    const tick = (now) => {
        requestAnimationFrame(tick);
        remember(refreshTimes, now, 1000);
        if (paused || shown === null || drawing || viewsAsked > 0) return;
        if (nextDue === null || now - nextDue > MAX_LATE_MS) nextDue = now;
        if (now < nextDue) return;
        const count = 1 + Math.floor((now - nextDue) / FRAME_MS);
        // The pace is that of the frames asked for, each at the time it fell due.
        for (let i = 0; i < count; ++i, nextDue += FRAME_MS) remember(stepTimes, nextDue, 1000);
        askFrames(count);
    };

    const fillViews = (cameras, view) => {
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
        cameras.forEach((name, i) => {
            if (name !== "") add(`camera:${name}`, `camera ${name}`);
            else if (i === 0) add("camera", "camera (unnamed)");
        });
        viewSelect.value = view;
    };

    // Frames start again at 1; a paused page shows the first one at once.
    const restart = () => {
        nextDue = null;
        frameCosts.length = 0;
        if (paused && !drawing) askFrames(1);
    };

    const answered = (worker, data) => {
        if (worker !== loading && (shown === null || worker !== shown.worker)) return;
        if (data.kind === "failed") {
            worker.terminate();
            if (worker === loading) loading = null;
            if (shown !== null && worker === shown.worker) shown = null;
            showError(`The scene's worker stopped: ${data.error}`);
        } else if (data.kind === "frame") {
            showFrame(data);
        } else if (data.kind === "view") {
            viewsAsked -= 1;
            if (data.ok) {
                shown.view = data.view;
                showError("");
            } else {
                showError(`${data.view}: ${data.error}`);
            }
            // A refused view leaves the scene in the view it had, and the list says so.
            if (viewsAsked === 0) {
                viewSelect.value = shown.view;
                restart();
            }
        }
    };

    // Loads bytes in a worker of their own; the scene on show stays until they have loaded.
    const openBytes = async (name, bytes, view, pick) => {
        const compiled = await wasm;
        if (pick !== picks) return;
        if (loading !== null) loading.terminate();
        const worker = new Worker("worker.js");
        loading = worker;
        const kept = bytes.slice(0, 2); // for the hint, once the bytes have gone to the worker
        worker.onmessage = ({ data }) => {
            if (data.kind !== "opened") {
                answered(worker, data);
                return;
            }
            loading = null;
            showError(verdictText(name, kept, data));
            if (!data.ok) {
                worker.terminate();
                return;
            }
            if (shown !== null) shown.worker.terminate();
            shown = { worker, name, meshes: data.meshes, faces: data.faces, view: data.view, frame: 0 };
            drawing = false;
            viewsAsked = 0;
            fillViews(data.cameras, data.view);
            showStatus();
            restart();
        };
        worker.onerror = (event) => {
            event.preventDefault();
            answered(worker, { kind: "failed", error: event.message || "no reason given" });
        };
        worker.postMessage({ kind: "open", wasm: compiled, name, bytes: bytes.buffer, view }, [bytes.buffer]);
    };

    const openFile = async (file) => {
        const pick = ++picks;
        if (loading !== null) {
            loading.terminate();
            loading = null;
        }
        if (file.size > MAX_FILE_BYTES) {
            const mib = (file.size / (1024 * 1024)).toFixed(1);
            showError(`${file.name}: ${mib} MiB is too large; the page reads files up to 64 MiB`);
            return;
        }
        let bytes;
        try {
            bytes = new Uint8Array(await file.arrayBuffer());
        } catch (error) {
            if (pick === picks) showError(`${file.name}: the browser could not read the file (${error.message})`);
            return;
        }
        // A person's own file is framed by the fit view: the demo's fixed camera, made for the
        // bundled scene, shows most other files as a speck or not at all.
        if (pick === picks) await openBytes(file.name, bytes, "fit", pick);
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
        if (shown === null) return;
        viewsAsked += 1;
        shown.worker.postMessage({ kind: "view", view: viewSelect.value });
    });
    pauseButton.addEventListener("click", () => {
        paused = !paused;
        pauseButton.textContent = paused ? "Run" : "Pause";
        stepButton.disabled = !paused;
        nextDue = null;
    });
    stepButton.addEventListener("click", () => {
        if (paused && shown !== null && !drawing && viewsAsked === 0) askFrames(1);
    });
    // The picture on the canvas as a PNG download, named after the file and the frame.
    saveButton.addEventListener("click", () => {
        if (shown === null) return;
        const fileName = `${shown.name.replace(/\.3ds$/i, "")}-frame-${shown.frame}.png`;
        canvas.toBlob((blob) => {
            if (blob === null) {
                showError("The browser could not make a PNG of the picture");
                return;
            }
            const link = document.createElement("a");
            link.href = URL.createObjectURL(blob);
            link.download = fileName;
            link.click();
            setTimeout(() => URL.revokeObjectURL(link.href), 60000);
        }, "image/png");
    });
    window.addEventListener("resize", fitCanvas);
    fitCanvas();

    const fetchBytes = (name) => fetch(name).then((response) => {
        if (!response.ok) throw new Error(`${name}: the server answered ${response.status}`);
        return response.arrayBuffer();
    });
    wasm = fetchBytes("kalvorant_web.wasm").then((bytes) => WebAssembly.compile(bytes));
    // The bundled scene opens first, unless a person has already picked a file of their own.
    Promise.all([wasm, fetchBytes(BUNDLED_SCENE)])
        .then(([, bytes]) => {
            requestAnimationFrame(tick);
            if (picks === 0) openBytes(BUNDLED_SCENE, new Uint8Array(bytes), "demo", 0);
        })
        .catch((error) => {
            showError(`The page could not start: ${error.message || error}. ` +
                      "Serve it over http (scripts/serve-web.sh); browsers refuse file:// here.");
        });
}

if (typeof module === "object" && module.exports) {
    module.exports = { not3dsHint, verdictText };
} else {
    startPage();
}
