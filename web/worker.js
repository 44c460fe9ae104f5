// worker.js - draws the page's scene off the page's thread, so that a frame that takes seconds
// never stops the page from answering clicks, keys and new files.
//
// One worker holds one scene in its own instance of the WebAssembly module (kalvorant_web.js).
// The page starts a worker for each file it opens and ends the worker of the scene it replaces,
// which is the only way to give a module's memory back: a WebAssembly memory never shrinks.
//
// Messages from the page, answered in the order they come:
//   {kind: "open", wasm, name, bytes, view, pictures}  loads bytes (a whole .3ds file called
//       name) with the compiled module wasm, its materials' pictures looked for among pictures
//       ([{name, bytes}], the files chosen with it), then shows view; answers {kind: "opened",
//       ok, error, warnings, view, look, up, animation, meshes, faces, cameras} (warnings: the
//       lines about pictures not found or not decoded; camera names as Latin-1 text; animation
//       as wrapModule's animation() gives it)
//   {kind: "view", view}    answers {kind: "view", ok, error, view, look, up, animation}
//   {kind: "options", look, up}  draws the view in look ("model", "demo" or "" for the view's
//       own) with the file's axis up ("z" or "y"); answers {kind: "options", ok, error, look, up,
//       animation} with the look and axis now drawn
//   {kind: "seek", keyFrame}  the next frame shows that key frame of the file's animation, and
//       playing goes on from there; answers {kind: "seek", ok, error, look, up, animation}
//   {kind: "step", count}   draws count frames; answers {kind: "frame", frame, keyFrame, count,
//       cost, rgba} with the last one as canvas bytes (an ArrayBuffer handed over, not copied),
//       the key frame it shows and the milliseconds the frames took
//   {kind: "look", events}  looks around (starting to, the first time): hands the person's
//       events to the viewer's controls in order, then draws the picture if it changed; answers
//       {kind: "look", ok, error, view, look, up, playing, keyFrame, message, cost, rgba} (rgba
//       null when nothing changed;
//       ok false with the reason when looking around could not start). Events: {type: "key",
//       code}, {type: "down" | "move" | "up", button, x, y, shift}, {type: "wheel", steps},
//       {type: "pinch", ratio}, {type: "play", seconds} (time passed while playing),
//       {type: "seek", keyFrame}
//   {kind: "unlook"}        back to the spinning view as it was left, in the look and up axis
//       looking around ended with; answers {kind: "options", ok, error, look, up, animation}
// Any answer may instead be {kind: "failed", error} when the module stopped; the worker is then
// of no further use.
//
// wrapModule is also what the Node tests drive, so they go through the same calls as the page.
// Errors from the module are one-line texts that the page only ever shows as text.
"use strict";

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
    const cString = (text) => Uint8Array.from(text + "\0", (c) => c.charCodeAt(0) & 0xff);
    // File names as the native tools see them on disk: UTF-8 bytes.
    const fileName = (text) => new TextEncoder().encode(text + "\0");
    const answer = (ok) => {
        if (ok === null) return { ok: false, error: "not enough memory to hold this file in the page" };
        return { ok: ok === 1, error: ok === 1 ? "" : latin1At(m._kalv_error()) };
    };

    return {
        width: m._kalv_width(),
        height: m._kalv_height(),
        // bytes: a Uint8Array holding a whole .3ds file called name, shown in view (see
        // setView); pictures: [{name, bytes}] the files beside it. Returns {ok, error}.
        load(bytes, view = "demo", name = "scene.3ds", pictures = []) {
            for (const picture of pictures) {
                const given = withBytes(picture.bytes, (ptr, length) =>
                    withBytes(fileName(picture.name), (namePtr) => m._kalv_give_picture(namePtr, ptr, length)));
                if (given !== 1) return answer(null);
            }
            const ok = withBytes(bytes, (ptr, length) =>
                withBytes(fileName(name), (namePtr) =>
                    withBytes(cString(view), (viewPtr) => m._kalv_load(namePtr, ptr, length, viewPtr))));
            return answer(ok);
        },
        // The lines about the loaded file's pictures that could not be used, each ending "\n".
        warnings: () => latin1At(m._kalv_warnings()),
        // view: "demo", "fit", "camera" or "camera:NAME". Returns {ok, error}.
        setView(view) {
            return answer(withBytes(cString(view), (ptr) => m._kalv_set_view(ptr)));
        },
        // look: "model", "demo" or "" (the view's own); up: "z" or "y". Returns {ok, error}.
        setOptions(look, up) {
            return answer(withBytes(cString(look), (lookPtr) =>
                withBytes(cString(up), (upPtr) => m._kalv_set_options(lookPtr, upPtr))));
        },
        // The look and up axis the view draws with.
        options: () => ({ look: latin1At(m._kalv_view_look()), up: latin1At(m._kalv_view_up()) }),
        // The file's animation: whether the file moves and the view plays it, its segment.
        animation: () => ({ file: m._kalv_file_animated() === 1, view: m._kalv_view_animated() === 1,
                            first: m._kalv_first_key_frame(), last: m._kalv_last_key_frame() }),
        // The key frame of the frame last drawn.
        keyFrame: () => m._kalv_key_frame(),
        // True when the view plays the file, and the next frame shows keyFrame.
        seek: (keyFrame) => m._kalv_seek(keyFrame) === 1,
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
        // Looking around (kalvorant_web.h): start() gives {ok, error}.
        look: {
            start: () => answer(m._kalv_look_start()),
            // Back to the spinning view: {ok, error}, ok false when the look or axis chosen
            // while looking around could not be carried over to it.
            stop: () => answer(m._kalv_look_stop() >= 0 ? 1 : 0),
            active: () => m._kalv_look_active() === 1,
            key: (code) => m._kalv_look_key(code),
            pointer: (kind, button, x, y, shift) => m._kalv_look_pointer(kind, button, x, y, shift ? 1 : 0),
            wheel: (steps) => m._kalv_look_wheel(steps),
            pinch: (ratio) => m._kalv_look_pinch(ratio),
            // True when the picture changed and was drawn.
            draw: () => m._kalv_look_draw() === 1,
            view: () => latin1At(m._kalv_look_view()),
            message: () => latin1At(m._kalv_look_message()),
            options: () => ({ look: latin1At(m._kalv_look_look()), up: latin1At(m._kalv_look_up()) }),
            // Seconds passed while playing; true when the key frame changed.
            play: (seconds) => m._kalv_look_play(seconds) === 1,
            playing: () => m._kalv_look_playing() === 1,
            keyFrame: () => m._kalv_look_key_frame(),
            seek: (keyFrame) => m._kalv_look_seek(keyFrame),
        },
        // The frame as canvas bytes, a view that is valid until the module's next call.
        rgba() {
            const start = m._kalv_rgba();
            return m.HEAPU8.subarray(start, start + this.width * this.height * 4);
        },
    };
}

// The module instantiated from the page's compiled copy, so no worker fetches or compiles it.
function instantiate(wasm) {
    return createKalvorant({
        instantiateWasm(imports, done) {
            WebAssembly.instantiate(wasm, imports).then((instance) => done(instance, wasm));
            return {};
        },
    });
}

function serve() {
    let scene = null;
    // How the spinning view draws: its look, up axis and animation.
    const shownAs = () => ({ ...scene.options(), animation: scene.animation() });
    const answers = {
        async open({ wasm, name, bytes, view, pictures }) {
            scene = wrapModule(await instantiate(wasm));
            const result = scene.load(new Uint8Array(bytes), view, name,
                                      pictures.map((p) => ({ name: p.name, bytes: new Uint8Array(p.bytes) })));
            return { ...result, warnings: scene.warnings(), view, ...shownAs(), meshes: scene.meshCount(),
                     faces: scene.faceCount(), cameras: scene.cameraNames() };
        },
        view({ view }) {
            return { ...scene.setView(view), view, ...shownAs() };
        },
        options({ look, up }) {
            return { ...scene.setOptions(look, up), ...shownAs() };
        },
        seek({ keyFrame }) {
            const ok = scene.seek(keyFrame);
            return { ok, error: ok ? "" : "the view does not play the file's animation", ...shownAs() };
        },
        step({ count }) {
            const start = performance.now();
            for (let i = 0; i < count; ++i) scene.step();
            const rgba = scene.rgba().slice().buffer;
            return { frame: scene.frameNumber(), keyFrame: scene.keyFrame(), count,
                     cost: performance.now() - start, rgba };
        },
    };
    const POINTER_KINDS = { down: 0, move: 1, up: 2 };
    const lookEvent = (look, event) => {
        if (event.type === "key") look.key(event.code);
        else if (event.type === "wheel") look.wheel(event.steps);
        else if (event.type === "pinch") look.pinch(event.ratio);
        else if (event.type === "play") look.play(event.seconds);
        else if (event.type === "seek") look.seek(event.keyFrame);
        else look.pointer(POINTER_KINDS[event.type], event.button, event.x, event.y, event.shift);
    };
    answers.look = ({ events }) => {
        const look = scene.look;
        if (!look.active()) {
            const started = look.start();
            if (!started.ok) return { ...started, rgba: null };
        }
        const start = performance.now();
        for (const event of events) lookEvent(look, event);
        const drawn = look.draw();
        return { ok: true, error: "", view: look.view(), ...look.options(), playing: look.playing(),
                 keyFrame: look.keyFrame(), message: look.message(),
                 cost: performance.now() - start, rgba: drawn ? scene.rgba().slice().buffer : null };
    };
    answers.unlook = () => ({ ...scene.look.stop(), ...shownAs() });
    // One message at a time, in order: a frame asked for after a change of view is of that view.
    let queue = Promise.resolve();
    self.onmessage = ({ data }) => {
        queue = queue.then(async () => {
            const result = await answers[data.kind](data);
            const kinds = { open: "opened", step: "frame", unlook: "options" };
            const answer = { kind: kinds[data.kind] || data.kind, ...result };
            self.postMessage(answer, answer.rgba ? [answer.rgba] : []);
        }).catch((error) => {
            // The module stopped (a trap, or no memory for its own start): this worker is done.
            self.postMessage({ kind: "failed", error: String((error && error.message) || error) });
        });
    };
}

if (typeof module === "object" && module.exports) {
    module.exports = { wrapModule };
} else {
    importScripts("kalvorant_web.js");
    serve();
}
