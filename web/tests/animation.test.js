// The file's own animation in the WebAssembly module, in Node: the fit and camera views play it
// as kalvorant-render --play does, a seek shows --key-frame's picture, and looking around the
// keys play, step and rewind it as in the desktop viewer.
"use strict";

const assert = require("node:assert/strict");
const fs = require("node:fs");
const { test } = require("node:test");
const support = require("./support.js");

test("the views play the file as --play does; Space, the arrows and Home while looking around", async (t) => {
    const [cube, roll] = ["RotatingCube.3DS", "CameraRollAnim.3ds"].map(support.assimpScene);
    if (!cube || !roll) return t.skip("assimp-testmodels is not installed (apt-get install assimp-testmodels)");
    const scene = await support.loadWasmScene();
    const assertNative = (file, k, args, what) => {
        while (scene.frameNumber() < k) scene.step();
        const dir = support.temporaryDir(t, "animation");
        support.renderNative(file, dir, [...args, "--only", String(k)]);
        support.assertSameFrame(scene.pixels(), support.readPng(support.nativeFramePath(dir, k)).pixels, scene.width, what);
    };
    for (const [file, view] of [[cube, "fit"], [roll, "camera"]]) {
        scene.load(fs.readFileSync(file), view);
        assert.equal(scene.animation().view, true);
        for (const k of [1, 40]) assertNative(file, k, ["--view", view, "--play"], `${view} view frame ${k}`);
    }
    // A seek: the next frame shows that key frame, and playing goes on from there.
    assert.equal(scene.seek(10), true);
    assertNative(roll, 41, ["--view", "camera", "--key-frame", "10"], "key frame 10");
    scene.step();
    assert.equal(scene.keyFrame(), 10.6);
    scene.setView("demo");
    assert.equal(scene.seek(10) || scene.animation().view, false, "the demo view keeps the demo's motion");

    scene.load(fs.readFileSync(cube), "fit");
    const { first, last } = scene.animation();
    const look = scene.look;
    look.start();
    look.draw();
    const start = scene.pixels();
    look.key(0x27); // Right
    look.draw();
    assert.equal(look.keyFrame(), first + 1);
    assert.notDeepEqual(scene.pixels(), start, "Right did not move the cube");
    look.key(0x24); // Home
    look.draw();
    support.assertSameFrame(scene.pixels(), start, scene.width, "Home");
    look.key(0x25); // Left, from the first key frame to the last
    assert.equal(look.keyFrame(), last);
    look.key(0x20); // Space
    assert.equal(look.play(0.1), true, "a tenth of a second is three key frames");
    assert.equal(look.keyFrame(), first + 2);
    look.key(0x20);
    assert.equal(look.play(1), false);

    scene.load(support.oneMeshFile("still", [[0, 0, 0], [9, 0, 0], [0, 0, 9]], [[0, 1, 2]]), "fit");
    assert.equal(scene.animation().file, false);
    scene.look.start();
    scene.look.key(0x20);
    assert.equal(scene.look.message(), "the file has no animation");
});
