// The page's static server against hostile requests and a hostile folder: it answers each with
// a 404 or a 405 and keeps serving; a port that is no plain number is refused.
"use strict";

const assert = require("node:assert/strict");
const { execFileSync, spawnSync } = require("node:child_process");
const fs = require("node:fs");
const http = require("node:http");
const os = require("node:os");
const path = require("node:path");
const { test } = require("node:test");
const { startServer } = require("../serve.js");

// One raw request (no client-side cleaning of the path); resolves to the status code.
function request(url, target, method = "GET") {
    return new Promise((resolve, reject) => {
        const { hostname, port } = new URL(url);
        const sent = http.request({ hostname, port, path: target, method, timeout: 5000 }, (answer) => {
            answer.resume();
            answer.on("end", () => resolve(answer.statusCode));
        });
        sent.on("timeout", () => sent.destroy(new Error(`no answer to ${method} ${target}`)));
        sent.on("error", reject);
        sent.end();
    });
}

test("the server survives hostile requests and serves only regular files inside its folder", async (t) => {
    const top = fs.mkdtempSync(path.join(os.tmpdir(), "kalv_serve_"));
    t.after(() => fs.rmSync(top, { recursive: true, force: true }));
    const dir = path.join(top, "page");
    fs.mkdirSync(dir);
    fs.writeFileSync(path.join(dir, "index.html"), "<p>page</p>");
    fs.writeFileSync(path.join(top, "secret.txt"), "not for the web");
    fs.symlinkSync(path.join(top, "secret.txt"), path.join(dir, "out.txt"));
    fs.symlinkSync("..", path.join(dir, "up"));
    fs.symlinkSync("index.html", path.join(dir, "in.html"));
    execFileSync("mkfifo", [path.join(dir, "pipe")]);

    const { server, url } = await startServer(dir);
    t.after(() => server.close());
    const cases = [
        ["GET", "/", 200], ["GET", "/in.html", 200], ["HEAD", "/index.html", 200],
        ["GET", "/%00", 404], ["GET", "/index.html%00.js", 404], ["GET", "/pipe", 404],
        ["GET", "/out.txt", 404], ["GET", "/up/secret.txt", 404], ["GET", "/%2e%2e/secret.txt", 404],
        ["POST", "/", 405], ["DELETE", "/index.html", 405], ["GET", "/", 200],
    ];
    for (const [method, target, status] of cases) {
        assert.equal(await request(url, target, method), status, `${method} ${target}`);
    }
});

test("the port must be plain decimal digits from 0 to 65535", (t) => {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), "kalv_serve_port_"));
    t.after(() => fs.rmSync(dir, { recursive: true, force: true }));
    fs.writeFileSync(path.join(dir, "index.html"), "");
    for (const port of ["0x1f90", "1e3", "-1", "65536", " 80", "80abc", ""]) {
        const run = spawnSync(process.execPath, [path.join(__dirname, "..", "serve.js"), dir, port],
                              { encoding: "utf8", timeout: 10000 });
        assert.equal(run.status, 1, `port ${JSON.stringify(port)}: ${run.stderr}`);
        assert.match(run.stderr, /^serve\.js: the port must be a decimal number/);
    }
});
