// Looking around in the WebAssembly module, in Node: the viewer's controls answer the page's
// events, a picture is drawn only when something changed, and the spinning view carries on
// untouched afterwards, frame for frame as kalvorant-render draws it.
"use strict";

const assert = require("node:assert/strict");
const fs = require("node:fs");
const { test } = require("node:test");
const support = require("./support.js");

test("looking around leaves the spin where it was and draws only on change", async (t) => {
    const scene = await support.loadWasmScene();
    assert.deepEqual(scene.look.start(), { ok: false, error: "no scene is loaded" });
    assert.equal(scene.load(fs.readFileSync(support.bundledScene)).ok, true);
    for (let k = 0; k < 5; ++k) scene.step();

    const look = scene.look;
    assert.deepEqual(look.start(), { ok: true, error: "" });
    assert.equal(look.draw(), true);
    assert.equal(look.view(), "fit");
    const fitted = scene.pixels();
    assert.equal(look.draw(), false, "drawn again without a change");
    look.pointer(1, 0, 300, 200, false); // a move without a button held moves nothing
    assert.equal(look.draw(), false);
    look.pointer(0, 0, 256, 192, false);
    look.pointer(1, 0, 300, 200, false);
    look.pointer(2, 0, 300, 200, false);
    assert.equal(look.draw(), true);
    assert.equal(look.view(), "orbit");
    assert.notDeepEqual(scene.pixels(), fitted);

    // Spreading two fingers to 1 / 0.85 of their distance zooms as far as one wheel step (both in
    // single precision, so an edge pixel may fall either way).
    look.key(70);
    look.pinch(1 / 0.85);
    look.draw();
    const pinched = scene.pixels();
    look.key(70);
    look.wheel(1);
    look.draw();
    const differing = scene.pixels().filter((p, i) => p !== pinched[i]).length;
    assert.notDeepEqual(pinched, fitted);
    assert.ok(differing < 50, `a wheel step and a pinch differ in ${differing} pixels`);

    look.key(68);
    look.draw();
    assert.equal(look.view(), "demo");
    const cameras = scene.cameraNames();
    look.key(67);
    look.draw();
    assert.equal(look.view(), `camera ${cameras[0]}`);
    for (let i = 0; i < cameras.length; ++i) look.key(67);
    look.draw();
    assert.equal(look.view(), "orbit", "after the last camera, back to the free view as it was left");
    assert.equal(look.message(), "");

    look.stop();
    assert.equal(look.active(), false);
    scene.step();
    assert.equal(scene.frameNumber(), 6);
    const dir = support.temporaryDir(t, "look");
    support.renderNative(support.bundledScene, dir, ["--only", "6"]);
    const native = support.readPng(support.nativeFramePath(dir, 6));
    support.assertSameFrame(scene.pixels(), native.pixels, native.width, "the spin after looking around");
});

test("a file without cameras says so when C asks for one", async () => {
    const scene = await support.loadWasmScene();
    scene.load(support.oneMeshFile("one", [[0, 0, 0], [9, 0, 0], [0, 0, 9]], [[0, 1, 2]]));
    scene.look.start();
    scene.look.key(67);
    assert.equal(scene.look.draw(), true);
    assert.equal(scene.look.view(), "fit");
    assert.equal(scene.look.message(), "the file has no camera to look through");
});

test("looking around paints the pictures handed over with the scene, in the fit and demo views", async (t) => {
    const cube = support.assimpScene("cube_with_diffuse_texture.3DS");
    if (!cube) return t.skip("assimp-testmodels is not installed (apt-get install assimp-testmodels)");
    const scene = await support.loadWasmScene();
    const looked = (pictures) => {
        scene.load(fs.readFileSync(cube), "fit", "cube.3DS", pictures);
        scene.look.start();
        scene.look.draw();
        const fit = scene.pixels();
        scene.look.key(68); // D
        scene.look.draw();
        return [fit, scene.pixels()];
    };
    const painted = looked([{ name: "test.png", bytes: fs.readFileSync(require("node:path").join(cube, "../test.png")) }]);
    const plain = looked([]);
    assert.notDeepEqual(painted[0], plain[0], "the fit view lost the picture");
    assert.notDeepEqual(painted[1], plain[1], "the demo view lost the picture");
});
