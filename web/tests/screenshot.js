// The README's picture of the page: chickwts, horsebean against linseed.
//   node screenshot.js BUILD_WEB OUT.png
"use strict";
const { spawn } = require("child_process");
const path = require("path");
const puppeteer = require("puppeteer-core");

const [web, out] = process.argv.slice(2);
const port = 8000 + Math.floor(Math.random() * 1000);

(async () => {
  const server = spawn("python3", ["-m", "http.server", String(port), "--bind", "127.0.0.1"], { cwd: web, stdio: "ignore" });
  const browser = await puppeteer.launch({ executablePath: "/usr/bin/chromium", headless: true, args: ["--no-sandbox", "--disable-gpu"] });
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: 1000, height: 900 });
    for (let tries = 0; ; ++tries) {
      try { await page.goto(`http://127.0.0.1:${port}/index.html`); break; } catch (e) {
        if (tries > 50) throw e;
        await new Promise((r) => setTimeout(r, 100));
      }
    }
    await (await page.$("#file")).uploadFile(path.resolve(__dirname, "../../examples/chickwts.csv"));
    await page.waitForFunction(() => document.querySelector("#table-facts").textContent !== "");
    await page.select("#group1", "horsebean");
    await page.select("#group2", "linseed");
    await page.click("#run");
    await page.waitForSelector("#figure svg", { timeout: 60000 });
    await (await page.$("main")).screenshot({ path: out });
  } finally {
    await browser.close();
    server.kill();
  }
})().catch((e) => { console.error(e); process.exit(1); });
