// support.js - what the web tests share: where the builds are, the WebAssembly module in Node, the
// native tools, a PNG reader for their frames, and a small .3ds writer for hand-made inputs.
"use strict";

const assert = require("node:assert/strict");
const { spawnSync } = require("node:child_process");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const zlib = require("node:zlib");

const root = path.resolve(__dirname, "..", "..");
const pageDir = path.resolve(process.env.KALV_WEB_PAGE_DIR || path.join(root, "build/web/page"));
const toolsDir = path.resolve(process.env.KALV_NATIVE_TOOLS_DIR || path.join(root, "build/default/tools"));
const bundledScene = path.join(root, "assets/object.3ds");
const glmarkModels = "/usr/share/glmark2/models";
const assimpModels = "/usr/share/assimp/models/3DS";

// A file of assimp-testmodels' 3DS folder, or null when the package is not installed.
function assimpScene(name) {
    const file = path.join(assimpModels, name);
    return fs.existsSync(file) ? file : null;
}

function glmarkScenes() {
    if (!fs.existsSync(glmarkModels)) return [];
    return fs.readdirSync(glmarkModels).filter((name) => /\.3ds$/i.test(name)).sort()
        .map((name) => path.join(glmarkModels, name));
}

function temporaryDir(t, label) {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), `kalv-web-${label}-`));
    t.after(() => fs.rmSync(dir, { recursive: true, force: true }));
    return dir;
}

// The page's own wrapper over a fresh instance of the module. The generated loader script cannot
// fetch() a file path in Node, so the .wasm is handed over as bytes.
async function loadWasmScene() {
    const createKalvorant = require(path.join(pageDir, "kalvorant_web.js"));
    const { wrapModule } = require(path.join(root, "web/worker.js"));
    const wasmBinary = fs.readFileSync(path.join(pageDir, "kalvorant_web.wasm"));
    return wrapModule(await createKalvorant({ wasmBinary }));
}

function runTool(name, args) {
    const result = spawnSync(path.join(toolsDir, name), args, { encoding: "latin1" });
    assert.equal(result.error, undefined, `${name} could not run: ${result.error}`);
    return result;
}

// What the page would say of a file, taken from kalvorant-info's verdict on it: "" for a good
// scene, its warning, or the file's name and the one-line reason it was refused. The tool names
// the file by its quoted path (our test paths hold no bytes it would escape), the page by its name.
function nativeVerdict(file) {
    const result = runTool("kalvorant-info", [file]);
    assert.ok(result.status === 0 || result.status === 1, `kalvorant-info ${file}: ${result.stderr}`);
    // The tools' hint that the demo view shows a file as a speck is not the page's to give: the
    // page opens a person's own file in the fit view.
    const line = result.stderr.split("\n").filter((text) => !/^kalvorant-info: warning: the scene covers /.test(text))[0];
    const name = path.basename(file);
    if (line === "") return { ok: true, text: "" };
    const prefix = `kalvorant-info: "${file}": `;
    if (result.status === 1) {
        assert.ok(line.startsWith(prefix), `unexpected kalvorant-info output: ${line}`);
        return { ok: false, text: `${name}: ${line.slice(prefix.length)}` };
    }
    const warning = `kalvorant-info: warning: "${file}" `;
    assert.ok(line.startsWith(warning), `unexpected kalvorant-info output: ${line}`);
    return { ok: true, text: `warning: "${name}" ${line.slice(warning.length)}` };
}

// Renders frames with kalvorant-render into dir and returns the file of frame k.
function renderNative(scene, dir, extraArgs) {
    const result = runTool("kalvorant-render", [scene, "--out", dir, ...extraArgs]);
    assert.equal(result.status, 0, `kalvorant-render ${extraArgs.join(" ")}: ${result.stderr}`);
}

function nativeFramePath(dir, k) {
    return path.join(dir, `frame_${String(k).padStart(4, "0")}.png`);
}

// Decodes an 8-bit RGB or RGBA PNG, not interlaced, into {width, height, pixels} with pixels as
// 0x00RRGGBB words.
function readPng(file) {
    const bytes = fs.readFileSync(file);
    assert.equal(bytes.toString("latin1", 1, 4), "PNG", `${file} is not a PNG`);
    let width = 0, height = 0, channels = 0;
    const idat = [];
    for (let at = 8; at < bytes.length;) {
        const length = bytes.readUInt32BE(at);
        const type = bytes.toString("latin1", at + 4, at + 8);
        const data = bytes.subarray(at + 8, at + 8 + length);
        if (type === "IHDR") {
            width = data.readUInt32BE(0);
            height = data.readUInt32BE(4);
            assert.equal(data[8], 8, "only 8-bit PNGs are read here");
            assert.equal(data[12], 0, "interlaced PNGs are not read here");
            channels = { 2: 3, 6: 4 }[data[9]];
            assert.ok(channels, `PNG colour type ${data[9]} is not read here`);
        } else if (type === "IDAT") {
            idat.push(data);
        }
        at += 12 + length;
    }
    const raw = zlib.inflateSync(Buffer.concat(idat));
    const stride = width * channels;
    const rows = Buffer.alloc(stride * height);
    for (let y = 0; y < height; ++y) unfilterRow(raw, y, stride, channels, rows);
    const pixels = new Uint32Array(width * height);
    for (let i = 0; i < pixels.length; ++i) {
        const p = i * channels;
        pixels[i] = (rows[p] << 16) | (rows[p + 1] << 8) | rows[p + 2];
    }
    return { width, height, pixels };
}

function unfilterRow(raw, y, stride, bpp, rows) {
    const filter = raw[y * (stride + 1)];
    const src = y * (stride + 1) + 1;
    const dst = y * stride;
    for (let x = 0; x < stride; ++x) {
        const a = x >= bpp ? rows[dst + x - bpp] : 0;
        const b = y > 0 ? rows[dst - stride + x] : 0;
        const c = x >= bpp && y > 0 ? rows[dst - stride + x - bpp] : 0;
        let predictor = 0;
        if (filter === 1) predictor = a;
        else if (filter === 2) predictor = b;
        else if (filter === 3) predictor = (a + b) >> 1;
        else if (filter === 4) {
            const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
            predictor = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
        } else assert.equal(filter, 0, `unknown PNG filter ${filter}`);
        rows[dst + x] = (raw[src + x] + predictor) & 0xff;
    }
}

// Asserts two frames are equal pixel for pixel, naming the first difference.
function assertSameFrame(actual, expected, width, what) {
    assert.equal(actual.length, expected.length, `${what}: frame sizes differ`);
    for (let i = 0; i < expected.length; ++i) {
        if (actual[i] !== expected[i]) {
            const x = i % width, y = Math.floor(i / width);
            assert.fail(`${what}: pixel (${x}, ${y}) is 0x${actual[i].toString(16)}, ` +
                        `the native frame has 0x${expected[i].toString(16)}`);
        }
    }
}

// A .3ds chunk: 16-bit id, 32-bit length including the 6-byte header, then the payload parts.
function chunk(id, ...parts) {
    const body = Buffer.concat(parts);
    const header = Buffer.alloc(6);
    header.writeUInt16LE(id, 0);
    header.writeUInt32LE(6 + body.length, 2);
    return Buffer.concat([header, body]);
}

const u16s = (...values) => Buffer.from(new Uint16Array(values).buffer);
const floats = (...values) => Buffer.from(new Float32Array(values).buffer);
const cString = (text) => Buffer.from(text + "\0", "latin1");

// A file with one triangle mesh called name: vertices as [x, y, z] triples, faces as index triples.
function oneMeshFile(name, vertices, faces) {
    const vertexList = chunk(0x4110, u16s(vertices.length), floats(...vertices.flat()));
    const faceList = chunk(0x4120, u16s(faces.length), u16s(...faces.flatMap((f) => [...f, 0])));
    const mesh = chunk(0x4000, cString(name), chunk(0x4100, vertexList, faceList));
    return chunk(0x4d4d, chunk(0x0002, Buffer.from([3, 0, 0, 0])), chunk(0x3d3d, mesh));
}

// A file of one object holding count meshes without vertices or faces: six bytes of file each,
// several hundred bytes of memory each once loaded, and nothing to draw.
function emptyMeshesFile(count) {
    const meshes = Buffer.alloc(6 * count);
    for (let at = 0; at < meshes.length; at += 6) {
        meshes.writeUInt16LE(0x4100, at);
        meshes.writeUInt32LE(6, at + 2);
    }
    return chunk(0x4d4d, chunk(0x3d3d, chunk(0x4000, cString("empty"), meshes)));
}

// A file whose frames take seconds: meshes meshes of count triangles each (count < 65536), all
// the same triangle, half of them facing each way so that the spin always shows half.
function slowFile(meshes, count) {
    const faces = Buffer.alloc(2 + 8 * count);
    faces.writeUInt16LE(count, 0);
    for (let i = 0; i < count; ++i) {
        faces.writeUInt16LE(i % 2 ? 2 : 1, 2 + 8 * i + 2);
        faces.writeUInt16LE(i % 2 ? 1 : 2, 2 + 8 * i + 4);
    }
    const vertices = chunk(0x4110, u16s(3), floats(-1000, 0, -1000, 1000, 0, -1000, 0, 0, 1000));
    const mesh = chunk(0x4000, cString("slow"), chunk(0x4100, vertices, chunk(0x4120, faces)));
    return chunk(0x4d4d, chunk(0x3d3d, ...Array(meshes).fill(mesh)));
}

module.exports = {
    emptyMeshesFile, slowFile,
    assertSameFrame, assimpScene, bundledScene, glmarkScenes, loadWasmScene, nativeFramePath, nativeVerdict,
    oneMeshFile, pageDir, readPng, renderNative, root, runTool, temporaryDir, toolsDir,
};
