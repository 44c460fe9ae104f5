// serve.js - a static file server for the built page, on 127.0.0.1 only.
//
//   node web/serve.js DIR [PORT]    serves DIR (PORT 0 or none: any free port), prints the address
//
// Browsers refuse to fetch the .wasm and the scene from a file:// page, so the page is always
// opened over http. Only files inside DIR are served, read-only; anything else is a 404.
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

function fileFor(root, url) {
    let name;
    try {
        name = decodeURIComponent(new URL(url, "http://localhost").pathname);
    } catch {
        return null;
    }
    if (name.endsWith("/")) name += "index.html";
    const file = path.resolve(root, "." + path.posix.normalize(name));
    return file.startsWith(root + path.sep) ? file : null;
}

function answer(root, request, response) {
    const file = request.method === "GET" || request.method === "HEAD" ? fileFor(root, request.url) : null;
    fs.readFile(file || "", (error, body) => {
        if (file === null || error) {
            response.writeHead(404, { "Content-Type": "text/plain; charset=utf-8" });
            response.end("not found\n");
            return;
        }
        response.writeHead(200, {
            "Content-Type": TYPES[path.extname(file).toLowerCase()] || "application/octet-stream",
            "Content-Length": body.length,
            "Cache-Control": "no-store",
        });
        response.end(request.method === "HEAD" ? undefined : body);
    });
}

// Starts serving dir; resolves to {server, url} once it listens.
function startServer(dir, port = 0) {
    const root = path.resolve(dir);
    const server = http.createServer((request, response) => answer(root, request, response));
    return new Promise((resolve, reject) => {
        server.once("error", reject);
        server.listen(port, "127.0.0.1", () => {
            resolve({ server, url: `http://127.0.0.1:${server.address().port}/` });
        });
    });
}

module.exports = { startServer };

if (require.main === module) {
    const [dir, port] = process.argv.slice(2);
    if (!dir || !fs.existsSync(path.join(dir, "index.html"))) {
        console.error(`serve.js: no built page in ${dir || "(no folder given)"}; ` +
                      "build it with: cmake --preset web && cmake --build --preset web");
        process.exit(1);
    }
    startServer(dir, Number(port || 0)).then(({ url }) => {
        console.log(`Kalvorant page: ${url}  (Ctrl+C stops the server)`);
    }, (error) => {
        console.error(`serve.js: cannot listen on 127.0.0.1:${port || 0}: ${error.message}`);
        process.exit(1);
    });
}
