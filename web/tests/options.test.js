// The look and up switches of the spinning views, and U and L while looking around, in the
// WebAssembly module in Node, frame for frame against kalvorant-render's --look and --up.
"use strict";

const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");
const { test } = require("node:test");
const support = require("./support.js");

test("the look and up of the views draw what --look and --up draw, and U carries over", async (t) => {
    const horse = support.glmarkScenes().find((file) => path.basename(file) === "horse.3ds");
    if (!horse) return t.skip("glmark2-data is not installed (apt-get install glmark2-data)");
    const scene = await support.loadWasmScene();
    const assertNative = (k, args, what) => {
        while (scene.frameNumber() < k) scene.step();
        const dir = support.temporaryDir(t, "options");
        support.renderNative(horse, dir, ["--view", "fit", ...args, "--only", String(k)]);
        support.assertSameFrame(scene.pixels(), support.readPng(support.nativeFramePath(dir, k)).pixels, scene.width, what);
    };
    scene.load(fs.readFileSync(horse), "demo");
    assert.deepEqual(scene.options(), { look: "demo", up: "z" }); // each view's own look
    scene.setView("fit");
    assert.deepEqual(scene.options(), { look: "model", up: "z" });
    assert.deepEqual(scene.setOptions("", "y"), { ok: true, error: "" });
    assertNative(3, ["--up", "y"], "Y up");
    // A chosen look stays for every view; a refused choice changes nothing.
    scene.setOptions("demo", "y");
    scene.setView("fit");
    assert.deepEqual(scene.setOptions("flat", "z"), { ok: false, error: "unknown look \"flat\"; use demo or model" });
    assert.deepEqual(scene.options(), { look: "demo", up: "y" });
    assertNative(2, ["--up", "y", "--look", "demo"], "demo look");

    // Looking around starts from the switches; U prepares the scene again, and on the way back
    // the spinning view takes the axis over and starts again.
    scene.look.start();
    scene.look.draw();
    const yUp = scene.pixels();
    scene.look.key("U".charCodeAt(0));
    scene.look.draw();
    assert.deepEqual(scene.look.options(), { look: "demo", up: "z" });
    assert.notDeepEqual(scene.pixels(), yUp);
    assert.deepEqual(scene.look.stop(), { ok: true, error: "" });
    assert.deepEqual(scene.options(), { look: "demo", up: "z" });
    assertNative(1, ["--look", "demo"], "after looking around");
});
