// page.js - the platform of the Kalvorant page: it owns the canvas, the 20 ms clock, the file
// picker and the controls. It draws nothing itself: a worker (worker.js) holds the scene and
// draws each frame, and this script shows the frames it sends back, so the page answers at once
// however long a frame takes.
//
// Each opened file gets a worker of its own. The scene on show keeps its worker until the next
// file has loaded in a new one; then the old worker is ended, which gives its memory back. A file
// picked while another is still loading ends that one's worker: the later pick always wins.
// Messages from the module are one-line texts that are only ever shown as text, never as markup.
//
// Looking around: a drag, the wheel, a touch or a key on the picture stops the spin and hands the
// scene to the desktop viewer's controls, which live in the worker's module with the orbit maths;
// this script only passes the person's events on, in frame pixels, once per display refresh and
// only when there are some, and shows the picture the worker sends back. Run returns to the spin.
"use strict";

const FRAME_MS = 20;                      // the demo's timer period: 50 frames a second
const MAX_LATE_MS = 250;                  // later than this (a hidden tab), the clock starts afresh
const MAX_FILE_BYTES = 64 * 1024 * 1024;  // larger files are refused before they are read
const BUNDLED_SCENE = "object.3ds";
const TIMING_WINDOW = 50;                 // frames averaged for the status line
const WHEEL_STEP_PIXELS = 100;            // one wheel step, as browsers report a notch in pixels
const WHEEL_STEP_LINES = 3;               // and in lines
// The keys on the picture that the viewer's controls follow: F fit again, C next camera, D the
// demo view, L the look, U the up axis, Space play or pause the file's animation, Left and Right
// one key frame, Home the first key frame. Their codes are the platform's virtual keys, which for
// letters are the upper-case letter. S saves here, as the button does.
const LOOK_KEYS = new Map([..."FCDLU"].map((key) => [key, key.charCodeAt(0)])
    .concat([[" ", 0x20], ["Home", 0x24], ["ArrowLeft", 0x25], ["ArrowRight", 0x27]]));

// The words kalvorant-info adds to a refusal or a warning when the file does not even start like
// a 3DS file (someone dropped a picture or an .obj), so the page says the same as the tool.
function not3dsHint(bytes) {
    if (bytes.length >= 2 && (bytes[0] | (bytes[1] << 8)) === 0x4d4d) return "";
    return " (this does not look like a 3DS file: it does not start with the main chunk 0x4D4D)";
}

// What the page says about a file the module has answered for: a refusal, the tools' warning for
// a scene without faces, or "" for a scene with something to draw; then the tools' warnings about
// pictures its materials name that could not be used, one a line.
function verdictText(name, bytes, answer) {
    if (!answer.ok) return `${name}: ${answer.error}${not3dsHint(bytes)}`;
    const pictures = (answer.warnings || "").replace(/\n$/, "");
    if (answer.faces > 0) return pictures;
    const empty = `warning: "${name}" holds no faces, so there is nothing to draw${not3dsHint(bytes)}`;
    return pictures === "" ? empty : `${empty}\n${pictures}`;
}

// Of files chosen or dropped together, the scene (the first .3ds file, else the first file) and
// the pictures beside it (all the others).
function sceneAndPictures(files) {
    const list = [...files];
    const at = Math.max(0, list.findIndex((file) => /\.3ds$/i.test(file.name)));
    return { scene: list[at], pictures: list.filter((_, i) => i !== at) };
}

const plural = (count, one, many) => `${count} ${count === 1 ? one : many}`;

function startPage() {
    const canvas = document.getElementById("screen");
    const context = canvas.getContext("2d");
    const statusLine = document.getElementById("status");
    const errorLine = document.getElementById("error");
    const fileInput = document.getElementById("file");
    const viewSelect = document.getElementById("view");
    const lookSelect = document.getElementById("look");
    const upSelect = document.getElementById("up");
    const keyFrameSlider = document.getElementById("key-frame");
    const keyFrameText = document.getElementById("key-frame-text");
    const pauseButton = document.getElementById("pause");
    const stepButton = document.getElementById("step");
    const saveButton = document.getElementById("save");

    let wasm = null;        // a promise of the module, compiled once and handed to every worker
    let shown = null;       // the scene on show: {worker, name, meshes, faces, view, look, up,
                            // animation, frame, keyFrame}
    let loading = null;     // the worker of a file still loading
    let picks = 0;          // files picked so far; only the latest one may be shown
    let drawing = false;    // a frame is asked for and not yet back
    let viewsAsked = 0;     // changes of view not yet answered; frames meanwhile are stale
    let paused = false;
    let looking = false;    // a person has taken hold of the scene: a still picture, drawn on change
    let lookInput = [];     // their events not yet sent to the worker
    let lookAsked = false;  // events sent and the picture not yet back
    let playedAt = null;    // while the animation plays looking around: when time was last sent
    let nextDue = null;
    const stepTimes = [];   // when recent frames fell due (performance.now()), for the pace
    const refreshTimes = [];// and of recent display refreshes, which bound what the pace can be
    const frameCosts = [];  // milliseconds each recent frame took to compute
    // Read-only figures for whoever inspects the page (the page test does): the pace and the
    // cost of frames are measured here, where the frames happen.
    const figures = { firstFrameAt: null, stepTimes, refreshTimes, frameCosts,
                      // true while a file is loading, a view changing or, when paused, a frame
                      // being drawn: what is on the canvas may still change
                      busy: () => loading !== null || viewsAsked > 0 || (paused && drawing) ||
                                  (looking && (lookAsked || lookInput.length > 0)) };
    window.kalvorantPage = figures;

    const showError = (text) => {
        errorLine.textContent = text;
    };

    // Whole numbers keep every pixel square. A window narrower than the frame (a phone) gets the
    // frame shrunk to its width instead: the picture takes no sideways scrolling, which touch
    // would not give, as the canvas keeps touches for looking around.
    const fitCanvas = () => {
        const across = (document.documentElement.clientWidth - 32) / canvas.width;
        const whole = Math.floor(Math.min(across, (window.innerHeight - 160) / canvas.height));
        const scale = whole >= 1 ? whole : Math.min(1, across);
        canvas.style.width = `${canvas.width * scale}px`;
        canvas.style.height = `${canvas.height * scale}px`;
    };

    const averageCost = () =>
        frameCosts.length === 0 ? 0 : frameCosts.reduce((a, b) => a + b, 0) / frameCosts.length;

    const showStatus = () => {
        const scene = `${shown.name} · ${looking ? shown.looking.view : shown.view} view · ` +
            `${plural(shown.meshes, "mesh", "meshes")} · ${plural(shown.faces, "face", "faces")} · `;
        if (!looking) {
            statusLine.textContent = `${scene}frame ${shown.frame} · ${averageCost().toFixed(2)} ms per frame`;
            return;
        }
        const { cost, message } = shown.looking;
        statusLine.textContent = `${scene}${cost.toFixed(2)} ms per picture${message ? ` · ${message}` : ""}`;
    };

    // The key-frame slider and its text: the key frame on show, over the file's segment, while the
    // view plays the file (the spinning fit and camera views, and looking around).
    const showAnimation = () => {
        const { file, view, first, last } = shown.animation;
        const playing = file && (looking ? shown.looking.view !== "demo" : view);
        keyFrameSlider.disabled = !playing;
        keyFrameSlider.min = String(first);
        keyFrameSlider.max = String(last);
        if (!playing) {
            // At rest at the start, not where the last file or view that played left it.
            keyFrameSlider.value = String(first);
            keyFrameText.textContent = file ? "the demo view keeps the demo's own motion" : "no animation";
            return;
        }
        const keyFrame = looking ? shown.looking.keyFrame : shown.keyFrame;
        keyFrameSlider.value = String(keyFrame);
        const shownAs = Number.isInteger(keyFrame) ? String(keyFrame) : keyFrame.toFixed(1);
        keyFrameText.textContent = `key frame ${shownAs} of ${first} to ${last}`;
    };

    const showButtons = () => {
        pauseButton.textContent = paused || looking ? "Run" : "Pause";
        stepButton.disabled = !paused || looking;
    };

    const remember = (list, value, limit) => {
        list.push(value);
        if (list.length > limit) list.shift();
    };

    const askFrames = (count) => {
        drawing = true;
        shown.worker.postMessage({ kind: "step", count });
    };

    const putPicture = (rgba) =>
        context.putImageData(new ImageData(new Uint8ClampedArray(rgba), canvas.width, canvas.height), 0, 0);

    const showFrame = ({ frame, keyFrame, count, cost, rgba }) => {
        drawing = false;
        if (viewsAsked > 0 || looking) return;
        putPicture(rgba);
        const now = performance.now();
        if (figures.firstFrameAt === null) figures.firstFrameAt = now;
        for (let i = 0; i < count; ++i) remember(frameCosts, cost / count, TIMING_WINDOW);
        shown.frame = frame;
        shown.keyFrame = keyFrame;
        showStatus();
        showAnimation();
    };

    // One frame per 20 ms of the page's clock, checked at every display refresh. Frames that fell
    // due since the last one asked for (a skipped refresh, a worker that answered late) are drawn
    // too, unshown, so the animation keeps its pace. While the worker is still drawing nothing
    // more is asked, and a clock that fell far behind (a hidden tab, a frame that took seconds)
    // starts afresh instead of rushing through the missed frames.
    const tick = (now) => {
        requestAnimationFrame(tick);
        remember(refreshTimes, now, 1000);
        if (looking) {
            // Time passes for the animation only while it plays, and is sent with the events.
            if (shown !== null && shown.looking.playing && !lookAsked) {
                if (playedAt !== null) lookInput.push({ type: "play", seconds: (now - playedAt) / 1000 });
                playedAt = now;
            } else if (shown === null || !shown.looking.playing) {
                playedAt = null;
            }
            if (lookInput.length > 0 && !lookAsked && shown !== null) {
                lookAsked = true;
                shown.worker.postMessage({ kind: "look", events: lookInput });
                lookInput = [];
            }
            return;
        }
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

    // A person's event on the picture; the first one stops the spin.
    const lookAt = (event) => {
        if (shown === null) return;
        if (!looking) {
            looking = true;
            shown.looking = { view: shown.view, look: shown.look, up: shown.up, playing: false,
                              keyFrame: Math.round(shown.keyFrame), cost: 0, message: "" };
            showButtons();
        }
        lookInput.push(event);
    };

    // The switches show the look and up axis of what the canvas shows.
    const showOptions = ({ look, up }) => {
        lookSelect.value = look;
        upSelect.value = up;
    };

    // Back to the spinning view as it was left, in the look and up axis looking around ended
    // with; the worker answers once it has them.
    const stopLooking = () => {
        if (!looking) return;
        looking = false;
        lookInput = [];
        viewsAsked += 1;
        shown.worker.postMessage({ kind: "unlook" });
        nextDue = null;
        showButtons();
        showStatus();
    };

    const showLook = ({ ok, error, view, look, up, playing, keyFrame, message, cost, rgba }) => {
        lookAsked = false;
        if (!looking) return;
        if (!ok) {
            showError(error);
            stopLooking();
            return;
        }
        if (rgba) putPicture(rgba);
        shown.looking = { view, look, up, playing, keyFrame, message, cost };
        showOptions(shown.looking);
        showStatus();
        showAnimation();
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
        } else if (data.kind === "look") {
            showLook(data);
        } else if (data.kind === "view" || data.kind === "options" || data.kind === "seek") {
            viewsAsked -= 1;
            if (data.ok) {
                if (data.kind === "view") shown.view = data.view;
                showError("");
            } else {
                const asked = data.kind === "view" ? data.view : `${lookSelect.value} look, ${upSelect.value} up`;
                showError(`${asked}: ${data.error}`);
            }
            // A refused change leaves the scene as it was, and the lists say so.
            shown.look = data.look;
            shown.up = data.up;
            shown.animation = data.animation;
            if (viewsAsked === 0) {
                viewSelect.value = shown.view;
                showOptions(shown);
                if (data.kind !== "seek") shown.keyFrame = data.animation.first;
                showAnimation();
                restart();
            }
        }
    };

    // Loads bytes in a worker of their own; the scene on show stays until they have loaded.
    const openBytes = async (name, bytes, view, pick, pictures = []) => {
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
            shown = { worker, name, meshes: data.meshes, faces: data.faces, view: data.view,
                      look: data.look, up: data.up, animation: data.animation, frame: 0,
                      keyFrame: data.animation.first };
            drawing = false;
            viewsAsked = 0;
            looking = false;
            lookInput = [];
            lookAsked = false;
            showButtons();
            fillViews(data.cameras, data.view);
            showOptions(shown);
            showAnimation();
            showStatus();
            restart();
        };
        worker.onerror = (event) => {
            event.preventDefault();
            answered(worker, { kind: "failed", error: event.message || "no reason given" });
        };
        worker.postMessage({ kind: "open", wasm: compiled, name, bytes: bytes.buffer, view, pictures },
                           [bytes.buffer, ...pictures.map((picture) => picture.bytes)]);
    };

    // Opens the scene among files, with the other files as the pictures beside it.
    const openFiles = async (files) => {
        const { scene: file, pictures } = sceneAndPictures(files);
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
        let bytes, given;
        try {
            bytes = new Uint8Array(await file.arrayBuffer());
            given = await Promise.all(pictures.map(async (picture) =>
                ({ name: picture.name, bytes: await picture.arrayBuffer() })));
        } catch (error) {
            if (pick === picks) showError(`${file.name}: the browser could not read the file (${error.message})`);
            return;
        }
        // A person's own file is framed by the fit view: the demo's fixed camera, made for the
        // bundled scene, shows most other files as a speck or not at all.
        if (pick === picks) await openBytes(file.name, bytes, "fit", pick, given);
    };

    fileInput.addEventListener("change", () => {
        if (fileInput.files.length > 0) openFiles(fileInput.files);
        fileInput.value = "";
    });
    document.addEventListener("dragover", (event) => event.preventDefault());
    document.addEventListener("drop", (event) => {
        event.preventDefault();
        const files = event.dataTransfer ? event.dataTransfer.files : [];
        if (files.length > 0) openFiles(files);
    });
    viewSelect.addEventListener("change", () => {
        if (shown === null) return;
        stopLooking();
        viewsAsked += 1;
        shown.worker.postMessage({ kind: "view", view: viewSelect.value });
    });
    // A look or up axis chosen here stays until the next file, whatever the view.
    const chooseOptions = () => {
        if (shown === null) return;
        stopLooking();
        viewsAsked += 1;
        shown.worker.postMessage({ kind: "options", look: lookSelect.value, up: upSelect.value });
    };
    lookSelect.addEventListener("change", chooseOptions);
    upSelect.addEventListener("change", chooseOptions);
    // The slider shows a key frame of the file's animation, looking around or not; playing goes
    // on from there.
    keyFrameSlider.addEventListener("input", () => {
        if (shown === null) return;
        const keyFrame = Number(keyFrameSlider.value);
        if (looking) {
            lookAt({ type: "seek", keyFrame });
            return;
        }
        viewsAsked += 1;
        shown.worker.postMessage({ kind: "seek", keyFrame });
    });
    pauseButton.addEventListener("click", () => {
        if (looking) {
            stopLooking();
            paused = false;
        } else {
            paused = !paused;
        }
        showButtons();
        nextDue = null;
    });
    stepButton.addEventListener("click", () => {
        if (paused && !looking && shown !== null && !drawing && viewsAsked === 0) askFrames(1);
    });
    // The picture on the canvas as a PNG download, named after the file and the frame, or the
    // view while looking around ("horse-orbit.png").
    const savePicture = () => {
        if (shown === null) return;
        const shot = looking ? shown.looking.view.replace(/[^A-Za-z0-9_-]+/g, "-") : `frame-${shown.frame}`;
        const fileName = `${shown.name.replace(/\.3ds$/i, "")}-${shot}.png`;
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
    };
    saveButton.addEventListener("click", savePicture);
    listenOnPicture(canvas, lookAt, savePicture);
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

// Frame pixels (x right, y down) under a pointer event, whatever the canvas is scaled to.
function framePoint(canvas, event) {
    const rect = canvas.getBoundingClientRect();
    return { x: Math.round((event.clientX - rect.left) * canvas.width / rect.width),
             y: Math.round((event.clientY - rect.top) * canvas.height / rect.height) };
}

// The picture's own input, turned into the viewer's events for look(event): the mouse (left drag
// turns, right or middle drag or Shift with the left pans, the wheel zooms), fingers (one turns,
// two pinch to zoom and move together to pan) and keys while it has the focus.
function listenOnPicture(canvas, look, save) {
    let mouseButton = null;   // the button that started the mouse's drag
    const touches = new Map(); // finger id -> frame point
    let gesture = null;       // the fingers' drag: {button, at, distance}

    const middle = ([a, b]) => ({ x: Math.round((a.x + b.x) / 2), y: Math.round((a.y + b.y) / 2) });
    const apart = ([a, b]) => Math.hypot(a.x - b.x, a.y - b.y);
    // A change in the number of fingers ends one drag and starts the next: one finger turns like
    // the left button, two pan like the right one; a third finger is ignored until one lifts.
    const regrip = () => {
        if (gesture !== null) look({ type: "up", button: gesture.button, ...gesture.at });
        const points = [...touches.values()];
        gesture = points.length === 1 ? { button: 0, at: points[0], distance: 0 }
            : points.length === 2 ? { button: 2, at: middle(points), distance: apart(points) } : null;
        if (gesture !== null) look({ type: "down", button: gesture.button, ...gesture.at, shift: false });
    };
    const fingersMoved = () => {
        const points = [...touches.values()];
        if (gesture === null || points.length > 2) return;
        gesture.at = points.length === 1 ? points[0] : middle(points);
        look({ type: "move", ...gesture.at });
        if (points.length !== 2) return;
        const distance = apart(points);
        if (gesture.distance > 0 && distance > 0) look({ type: "pinch", ratio: distance / gesture.distance });
        gesture.distance = distance;
    };

    canvas.addEventListener("pointerdown", (event) => {
        canvas.focus();
        if (event.pointerType !== "touch" && (mouseButton !== null || event.button > 2)) return;
        event.preventDefault();
        canvas.setPointerCapture(event.pointerId);
        const at = framePoint(canvas, event);
        if (event.pointerType === "touch") {
            touches.set(event.pointerId, at);
            regrip();
        } else {
            mouseButton = event.button;
            look({ type: "down", button: event.button, ...at, shift: event.shiftKey });
        }
    });
    canvas.addEventListener("pointermove", (event) => {
        if (touches.has(event.pointerId)) {
            touches.set(event.pointerId, framePoint(canvas, event));
            fingersMoved();
        } else if (event.pointerType !== "touch" && mouseButton !== null) {
            look({ type: "move", ...framePoint(canvas, event) });
        }
    });
    const lifted = (event) => {
        if (touches.delete(event.pointerId)) {
            regrip();
        } else if (event.pointerType !== "touch" && mouseButton !== null) {
            look({ type: "up", button: mouseButton, ...framePoint(canvas, event) });
            mouseButton = null;
        }
    };
    canvas.addEventListener("pointerup", lifted);
    canvas.addEventListener("pointercancel", lifted);
    canvas.addEventListener("contextmenu", (event) => event.preventDefault()); // a right drag pans
    canvas.addEventListener("wheel", (event) => {
        event.preventDefault();
        const perStep = event.deltaMode === WheelEvent.DOM_DELTA_PAGE ? 1
            : event.deltaMode === WheelEvent.DOM_DELTA_LINE ? WHEEL_STEP_LINES : WHEEL_STEP_PIXELS;
        if (event.deltaY !== 0) look({ type: "wheel", steps: -event.deltaY / perStep });
    }, { passive: false });
    canvas.addEventListener("keydown", (event) => {
        if (event.ctrlKey || event.metaKey || event.altKey) return;
        const key = event.key.length === 1 ? event.key.toUpperCase() : event.key;
        if (key === "S") save();
        else if (LOOK_KEYS.has(key)) look({ type: "key", code: LOOK_KEYS.get(key) });
        else return;
        event.preventDefault();
    });
}

if (typeof module === "object" && module.exports) {
    module.exports = { not3dsHint, sceneAndPictures, verdictText };
} else {
    startPage();
}
