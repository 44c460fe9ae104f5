// The WebAssembly build in Node against the native tools: the same frames bit for bit, and the
// same verdict with the same reason on every file, good or damaged.
"use strict";

const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");
const { test } = require("node:test");
const support = require("./support.js");
const { verdictText } = require("../page.js");

// Steps scene to each frame number in wanted (ascending) and calls check(k, pixels).
function stepThrough(scene, wanted, check) {
    for (const k of wanted) {
        while (scene.frameNumber() < k) scene.step();
        check(k, scene.pixels());
    }
}

function assertFramesMatch(scene, dir, frames, what) {
    stepThrough(scene, frames, (k, pixels) => {
        const native = support.readPng(support.nativeFramePath(dir, k));
        assert.equal(native.width, scene.width);
        support.assertSameFrame(pixels, native.pixels, native.width, `${what} frame ${k}`);
    });
}

test("frames of the bundled scene equal kalvorant-render's", async (t) => {
    const dir = support.temporaryDir(t, "bundled");
    support.renderNative(support.bundledScene, dir, ["--frames", "63"]);
    support.renderNative(support.bundledScene, dir, ["--only", "1000"]);
    support.renderNative(support.bundledScene, dir, ["--only", "5000"]);

    const scene = await support.loadWasmScene();
    assert.deepEqual(scene.load(fs.readFileSync(support.bundledScene)), { ok: true, error: "" });
    const frames = Array.from({ length: 63 }, (_, i) => i + 1).concat([1000, 5000]);
    assertFramesMatch(scene, dir, frames, "object.3ds");
});

test("frames of glmark2's real files in the fit view equal kalvorant-render's", async (t) => {
    const files = support.glmarkScenes();
    if (files.length === 0) {
        t.skip("glmark2-data is not installed (apt-get install glmark2-data)");
        return;
    }
    const scene = await support.loadWasmScene();
    for (const file of files) {
        const dir = support.temporaryDir(t, "glmark2");
        support.renderNative(file, dir, ["--frames", "63", "--view", "fit"]);
        assert.equal(scene.load(fs.readFileSync(file)).error, "");
        assert.deepEqual(scene.setView("fit"), { ok: true, error: "" });
        assertFramesMatch(scene, dir, [1, 2, 16, 32, 63], path.basename(file));
    }
});

// A small deterministic generator, so every run damages the copies the same way.
function random(seed) {
    let state = seed >>> 0;
    return (limit) => {
        state = (state + 0x6d2b79f5) >>> 0;
        let z = state;
        z = Math.imul(z ^ (z >>> 15), z | 1);
        z ^= z + Math.imul(z ^ (z >>> 7), z | 61);
        return (((z ^ (z >>> 14)) >>> 0) % limit);
    };
}

// Cut short, bytes overwritten, a length field replaced, bytes inserted: each copy gets one.
function damagedCopy(original, pick) {
    const copy = Buffer.from(original);
    switch (pick(4)) {
    case 0:
        return copy.subarray(0, pick(copy.length));
    case 1:
        for (let n = 1 + pick(8); n > 0; --n) copy[pick(copy.length)] = pick(256);
        return copy;
    case 2: {
        const at = pick(copy.length - 4);
        copy.writeUInt32LE([0, 5, 0xffffffff, pick(1 << 20), pick(copy.length)][pick(5)], at);
        return copy;
    }
    default: {
        const at = pick(copy.length);
        const junk = Buffer.from(Array.from({ length: 1 + pick(16) }, () => pick(256)));
        return Buffer.concat([copy.subarray(0, at), junk, copy.subarray(at)]);
    }
    }
}

test("the page accepts, warns of and refuses what kalvorant-info does, for the same reason", async (t) => {
    const dir = support.temporaryDir(t, "verdicts");
    const corpus = path.join(support.root, "fuzz/corpus");
    const inputs = fs.readdirSync(corpus).sort().map((name) => path.join(corpus, name));
    const small = [["empty.3ds", []], ["one_byte.3ds", [0x4d]], ["header_only.3ds", [0x4d, 0x4d]],
                   ["picture.png", [0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0, 0, 0, 13]]];
    for (const [name, bytes] of small) {
        fs.writeFileSync(path.join(dir, name), Buffer.from(bytes));
        inputs.push(path.join(dir, name));
    }
    // 60 MB of empty meshes: just past the loader's memory bound, which the 32-bit module must
    // reach from the same figures as the 64-bit tools rather than run out of memory first.
    const crowded = path.join(dir, "crowded.3ds");
    fs.writeFileSync(crowded, support.emptyMeshesFile(10000000));
    inputs.push(crowded);
    const original = fs.readFileSync(support.bundledScene);
    const pick = random(20261207);
    for (let i = 0; i < 300; ++i) {
        const file = path.join(dir, `damaged_${i}.3ds`);
        fs.writeFileSync(file, damagedCopy(original, pick));
        inputs.push(file);
    }

    const scene = await support.loadWasmScene();
    const seen = { ok: 0, refused: 0 };
    for (const file of inputs) {
        const native = support.nativeVerdict(file);
        const bytes = fs.readFileSync(file);
        const wasm = scene.load(bytes);
        const text = verdictText(path.basename(file), bytes, { ...wasm, faces: scene.faceCount() });
        assert.deepEqual({ ok: wasm.ok, text }, native, path.basename(file));
        seen[native.ok ? "ok" : "refused"] += 1;
    }
    // Both verdicts must be exercised, or the comparison proves little.
    assert.ok(seen.ok >= 20 && seen.refused >= 100, JSON.stringify(seen));
});

test("the page's words for files chosen together: which is the scene, and the pictures' warnings", () => {
    const { sceneAndPictures } = require("../page.js");
    const files = ["TEST.PNG", "cube.3DS", "b.3ds"].map((name) => ({ name }));
    assert.deepEqual(sceneAndPictures(files), { scene: files[1], pictures: [files[0], files[2]] });
    assert.deepEqual(sceneAndPictures(files.slice(0, 1)), { scene: files[0], pictures: [] });
    const warnings = "warning: texture \"A\" of material \"M\": not found beside x.3ds\n";
    assert.equal(verdictText("x.3ds", [0x4d, 0x4d], { ok: true, faces: 3, warnings }), warnings.trim());
    assert.equal(verdictText("x.3ds", [0x4d, 0x4d], { ok: true, faces: 0, warnings }),
                 `warning: "x.3ds" holds no faces, so there is nothing to draw\n${warnings.trim()}`);
});
