// serve.js - a static file server for the built page, on 127.0.0.1 only.
//
//   node web/serve.js DIR [PORT]    serves DIR (PORT 0 or none: any free port), prints the address
//
// Browsers refuse to fetch the .wasm and the scene from a file:// page, so the page is always
// opened over http. Only regular files inside DIR are served, read-only: a name with a NUL byte,
// a named pipe or a device, a link that leads out of DIR, and anything else is a 404; a method
// other than GET and HEAD is a 405. Whatever a request holds, the server answers it and goes on.
// PORT is plain decimal digits, 0 to 65535; anything else ends the server with status 1.
"use strict";

const fs = require("node:fs");
const http = require("node:http");
const path = require("node:path");

const TYPES = {
    ".html": "text/html; charset=utf-8",
    ".js": "text/javascript; charset=utf-8",
    ".wasm": "application/wasm",
    ".png": "image/png",
    ".3ds": "application/octet-stream",
};

// O_NONBLOCK: opening a named pipe with no writer would wait for one; O_NOFOLLOW: the name was
// already resolved, so a link found now was swapped in since and is not followed.
const OPEN_FLAGS = fs.constants.O_RDONLY | (fs.constants.O_NONBLOCK || 0) | (fs.constants.O_NOFOLLOW || 0);

function fileFor(root, url) {
    let name;
    try {
        name = decodeURIComponent(new URL(url, "http://localhost").pathname);
    } catch {
        return null;
    }
    if (name.includes("\0")) return null;
    if (name.endsWith("/")) name += "index.html";
    const file = path.resolve(root, "." + path.posix.normalize(name));
    return file.startsWith(root + path.sep) ? file : null;
}

// The served file's contents, or null for anything that is not a regular file inside root once
// every link on the way is resolved.
async function readServed(root, url) {
    const file = fileFor(root, url);
    if (file === null) return null;
    let handle;
    try {
        const real = await fs.promises.realpath(file);
        if (!real.startsWith(root + path.sep)) return null;
        handle = await fs.promises.open(real, OPEN_FLAGS);
        if (!(await handle.stat()).isFile()) return null;
        return { file: real, body: await handle.readFile() };
    } catch {
        return null;
    } finally {
        if (handle) await handle.close().catch(() => {});
    }
}

function plain(response, status, text, headers = {}) {
    response.writeHead(status, { "Content-Type": "text/plain; charset=utf-8", ...headers });
    response.end(`${text}\n`);
}

async function answer(root, request, response) {
    if (request.method !== "GET" && request.method !== "HEAD") {
        plain(response, 405, "method not allowed", { Allow: "GET, HEAD" });
        return;
    }
    const served = await readServed(root, request.url);
    if (served === null) {
        plain(response, 404, "not found");
        return;
    }
    response.writeHead(200, {
        "Content-Type": TYPES[path.extname(served.file).toLowerCase()] || "application/octet-stream",
        "Content-Length": served.body.length,
        "Cache-Control": "no-store",
    });
    response.end(request.method === "HEAD" ? undefined : served.body);
}

// Starts serving dir; resolves to {server, url} once it listens.
function startServer(dir, port = 0) {
    const root = fs.realpathSync(path.resolve(dir));
    const server = http.createServer((request, response) => {
        answer(root, request, response).catch(() => {
            if (!response.headersSent) plain(response, 500, "internal error");
            else response.destroy();
        });
    });
    return new Promise((resolve, reject) => {
        server.once("error", reject);
        server.listen(port, "127.0.0.1", () => {
            resolve({ server, url: `http://127.0.0.1:${server.address().port}/` });
        });
    });
}

// The port as typed: decimal digits only, 0 to 65535; null for anything else.
function parsePort(text) {
    if (text === undefined) return 0;
    if (!/^[0-9]{1,5}$/.test(text) || Number(text) > 65535) return null;
    return Number(text);
}

module.exports = { startServer, parsePort };

if (require.main === module) {
    const [dir, portText] = process.argv.slice(2);
    if (!dir || !fs.existsSync(path.join(dir, "index.html"))) {
        console.error(`serve.js: no built page in ${dir || "(no folder given)"}; ` +
                      "build it with: cmake --preset web && cmake --build --preset web");
        process.exit(1);
    }
    const port = parsePort(portText);
    if (port === null) {
        console.error(`serve.js: the port must be a decimal number from 0 to 65535, not ${JSON.stringify(portText)}`);
        process.exit(1);
    }
    startServer(dir, port).then(({ url }) => {
        console.log(`Kalvorant page: ${url}  (Ctrl+C stops the server)`);
    }, (error) => {
        console.error(`serve.js: cannot listen on 127.0.0.1:${port}: ${error.message}`);
        process.exit(1);
    });
}
