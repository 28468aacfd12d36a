// The page in headless Chromium against the program: the table shown and
// diffboot.analyse() in the page's window against the program's json, the
// program's stops, Cancel, the figure's marks, and no request beyond the
// page's origin.
//
//   node browser_test.js BUILD_WEB PROGRAM
"use strict";
const { spawn, execFileSync } = require("child_process");
const fs = require("fs");
const os = require("os");
const path = require("path");
const puppeteer = require("puppeteer-core");

const [web, program] = process.argv.slice(2);
const repository = path.resolve(__dirname, "../..");
const port = 8000 + Math.floor(Math.random() * 1000);
const origin = `http://127.0.0.1:${port}`;
const failures = [];
let checks = 0;

function check(ok, what) {
  ++checks;
  if (!ok) failures.push(what);
}

// What arithmetic and square roots alone decide: the same bits.
const EXACT = ["estimate", "se", "bias", "percentile_lower", "percentile_upper", "basic_lower", "basic_upper"];
// What passes through the math library (erfc, log, exp, pow): within 1e-12.
const CLOSE = ["t_lower", "t_upper", "bca_lower", "bca_upper", "z0", "acceleration", "p_permutation", "p_t"];

function close(a, b) {
  if (a === null || b === null) return a === b;
  return a === b || Math.abs(a - b) <= 1e-12 * Math.max(Math.abs(a), Math.abs(b));
}

// The page's document against the program's: inputs and samples the same,
// each measure's numbers as promised.
function compareDocuments(got, want, what) {
  for (const k of ["n_x", "n_y", "missing_x", "missing_y", "experiment", "alpha", "level", "B", "seed", "permutations", "pairs_dropped"]) {
    check(got.inputs[k] === want.inputs[k], `${what}: inputs.${k} ${got.inputs[k]} != ${want.inputs[k]}`);
  }
  check(JSON.stringify(got.samples) === JSON.stringify(want.samples), `${what}: samples differ`);
  check(got.measures.length === want.measures.length, `${what}: ${got.measures.length} measures, want ${want.measures.length}`);
  want.measures.forEach((m, i) => {
    const g = got.measures[i] || {};
    check(g.measure === m.measure, `${what}: measure ${g.measure} != ${m.measure}`);
    // g's small-sample correction is a ratio of gamma functions: the math library's.
    const exact = m.measure === "g" ? [] : EXACT, near = m.measure === "g" ? [...EXACT, ...CLOSE] : CLOSE;
    for (const k of exact) check(Object.is(g[k], m[k]), `${what} ${m.measure}.${k}: ${g[k]} != ${m[k]} (bits)`);
    for (const k of near) if (k in m) check(close(g[k], m[k]), `${what} ${m.measure}.${k}: ${g[k]} != ${m[k]}`);
  });
}

function programJson(args) {
  return JSON.parse(execFileSync(program, ["-f", "json", ...args], { encoding: "utf8", stdio: ["ignore", "pipe", "pipe"] }));
}

function writeSamples(dir, name, values) {
  const file = path.join(dir, name);
  fs.writeFileSync(file, values.map((v) => (Number.isNaN(v) ? "NA" : Object.is(v, -0) ? "-0" : String(v))).join("\n") + "\n");
  return file;
}

// Random samples with what the engine must take in its stride.
function randomCases() {
  let s = 20261208;
  const random = () => ((s = (s * 1103515245 + 12345) % 2147483648) / 2147483648);
  const draw = (n, f) => Array.from({ length: n }, f);
  return [
    { what: "ties", x: draw(30, () => Math.floor(random() * 5)), y: draw(25, () => Math.floor(random() * 4)), o: {} },
    { what: "NaN and -0", x: [...draw(20, () => random() * 10 - 5), NaN, -0], y: [-0, 0, ...draw(18, () => random()), NaN], o: {} },
    { what: "1e300", x: draw(15, () => (random() + 0.5) * 1e300), y: draw(17, () => random() * 1e300), o: { measures: ["d_AVE", "d_MED"] } },
    { what: "1e-300", x: draw(15, () => random() * 1e-300), y: draw(16, () => random() * 2e-300), o: {} },
    { what: "paired, every measure", x: draw(40, () => random() * 100), y: draw(40, () => random() * 90), o: { paired: true, measures: "all", seed: 7, replications: 999 } },
    { what: "unpaired, p-values, level 0.99", x: draw(12, () => random() * 3), y: draw(14, () => random() * 4), o: { level: 0.99, permutations: 999, measures: "all" } },
  ];
}

function programArgs(c, fx, fy) {
  const o = c.o, args = [o.paired ? "-p" : "-u"];
  if (o.level) args.push("--level", String(o.level));
  if (o.replications) args.push("-B", String(o.replications));
  if (o.seed) args.push("--seed", String(o.seed));
  if (o.permutations) args.push("--p-values", "--permutations", String(o.permutations));
  if (o.measures) args.push("--measures", [].concat(o.measures).join(","));
  return [...args, fx, fy];
}

async function main() {
  const server = spawn("python3", ["-m", "http.server", String(port), "--bind", "127.0.0.1"], { cwd: web, stdio: "ignore" });
  const browser = await puppeteer.launch({ executablePath: "/usr/bin/chromium", headless: true,
    args: ["--no-sandbox", "--disable-gpu"] });
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), "diffboot-web-"));
  try {
    const page = await browser.newPage();
    page.on("console", (m) => { if (m.type() === "error") console.log("page: " + m.text()); });
    page.on("pageerror", (e) => console.log("page error: " + e.message));
    const foreign = [];
    // Every request the page and its worker make, seen by the browser.
    const watch = (url) => {
      if (!url.startsWith(origin) && !url.startsWith("blob:") && !url.startsWith("data:")) foreign.push(url);
    };
    page.on("request", (r) => watch(r.url()));
    let workerRequests = 0;
    page.on("workercreated", async (w) => {
      watch(w.url());
      // The worker's own requests (the engine's .wasm) are seen by its session.
      w.client.on("Network.requestWillBeSent", (e) => { ++workerRequests; watch(e.request.url); });
      await w.client.send("Network.enable").catch(() => {});
    });
    for (let tries = 0; ; ++tries) {
      try { await page.goto(origin + "/index.html", { waitUntil: "load" }); break; } catch (e) {
        if (tries > 50) throw e;
        await new Promise((r) => setTimeout(r, 100));
      }
    }
    const open = async (file) => {
      await page.evaluate(() => {
        document.querySelector("#table-facts").textContent = "";
        document.querySelector("#stop").hidden = true;
      });
      const input = await page.$("#file");
      await input.uploadFile(file);
      await page.waitForFunction(() => document.querySelector("#table-facts").textContent !== "" ||
        !document.querySelector("#stop").hidden, { timeout: 120000 });
    };
    const runAndWait = async () => {
      await page.evaluate(() => { document.querySelector("#results").replaceChildren(); document.querySelector("#stop").hidden = true; });
      await page.click("#run");
      await page.waitForFunction(() => document.querySelector("#results-table") || !document.querySelector("#stop").hidden,
        { timeout: 60000 });
    };

    console.log("step: chickwts");
    // chickwts: feed horsebean against linseed, the table shown against the program's json.
    await open(path.join(repository, "examples/chickwts.csv"));
    await page.click('input[name="layout"][value="groups"]');
    await page.select("#by", "feed");
    await page.select("#value", "weight");
    await page.select("#group1", "horsebean");
    await page.select("#group2", "linseed");
    await runAndWait();
    const want = programJson(["-u", "--table", path.join(repository, "examples/chickwts.csv"), "--by", "feed", "horsebean", "linseed"]);
    const shown = await page.evaluate(() => [...document.querySelectorAll("#results-table tbody tr")].map((tr) =>
      Object.fromEntries([...tr.children].map((c) => [c.dataset.key, c.textContent]))));
    check(shown.length === want.measures.length, `chickwts: ${shown.length} rows shown, want ${want.measures.length}`);
    want.measures.forEach((m, i) => {
      const row = shown[i] || {};
      check(row.measure === m.measure, `chickwts: row ${i} is ${row.measure}, want ${m.measure}`);
      for (const k of EXACT.filter((k) => k in row)) check(row[k] === String(m[k]), `chickwts ${m.measure}.${k}: shown ${row[k]}, program ${m[k]}`);
      for (const k of CLOSE.filter((k) => k in row)) check(close(Number(row[k]), m[k]), `chickwts ${m.measure}.${k}: shown ${row[k]}, program ${m[k]}`);
    });
    console.log("step: One disc a value");
    // One disc a value in the figure's samples panel.
    const discs = await page.evaluate(() => document.querySelectorAll('#figure g[data-role="values"] circle').length);
    check(discs === want.inputs.n_x + want.inputs.n_y, `chickwts figure: ${discs} value marks, want ${want.inputs.n_x + want.inputs.n_y}`);
    check(await page.evaluate(() => Boolean(document.querySelector("#figure svg desc")?.textContent)), "the figure has no text alternative");

    console.log("step: The program's stops");
    // Pasted columns without a header line: x and y, as two sample files.
    const pastedX = [4.2, 3.9, 5.5, 4.8, 5.0, 4.1], pastedY = [5.1, 6.0, 5.7, 4.9, 6.3, 5.8, 6.1];
    const rowsPasted = pastedY.map((v, i) => (i < pastedX.length ? `${pastedX[i]}\t${v}` : `NA\t${v}`)).join("\n");
    await page.evaluate((text) => {
      document.querySelector("#table-facts").textContent = "";
      document.querySelector("#paste").value = text;
    }, rowsPasted);
    await page.click("#use-paste");
    await page.waitForFunction(() => document.querySelector("#table-facts").textContent !== "", { timeout: 20000 });
    check(await page.evaluate(() => document.querySelector("#column1").value === "x" && document.querySelector("#column2").value === "y"),
      "pasted columns are not named x and y");
    await page.click('input[name="layout"][value="columns"]');
    await runAndWait();
    const pastedWant = programJson(["-u", writeSamples(dir, "px.txt", pastedX), writeSamples(dir, "py.txt", pastedY)]);
    const pastedShown = await page.evaluate(() => document.querySelector('#results-table tr[data-measure="d_AVE"] [data-key="estimate"]')?.textContent);
    check(pastedShown === String(pastedWant.measures[0].estimate), `pasted: d_AVE ${pastedShown}, program ${pastedWant.measures[0].estimate}`);

    // The program's stops, with its messages.
    const stops = [
      { what: "a decimal-comma file", name: "decimal.csv", text: "a,b\n1,5,2,5\n3,1,4\n", args: ["a", "b"] },
      { what: "a text column", name: "words.csv", text: "a,b\n1,x\n3,4\n2,2\n5,6\n", args: ["a", "b"] },
    ];
    for (const s of stops) {
      const file = path.join(dir, s.name);
      fs.writeFileSync(file, s.text);
      let message = "";
      try { execFileSync(program, ["-u", "-f", "json", "--table", file, ...s.args], { stdio: "pipe" }); } catch (e) { message = e.stderr.toString().trim(); }
      await open(file);
      if (await page.evaluate(() => document.querySelector("#stop").hidden)) {
        await page.click('input[name="layout"][value="columns"]');
        await page.select("#column1", "a");
        await page.select("#column2", "b");
        await runAndWait();
      }
      const stop = await page.evaluate(() => document.querySelector("#stop").textContent);
      check(message !== "" && stop === message.replace(file, s.name),
        `${s.what}: the page says "${stop}", the program "${message}"`);
    }

    console.log("step: diffboot.analyse in the page");
    // diffboot.analyse in the page's window against the program on random data.
    for (const c of randomCases()) {
      const fx = writeSamples(dir, "x.txt", c.x), fy = writeSamples(dir, "y.txt", c.y);
      const want = programJson(programArgs(c, fx, fy));
      const got = await page.evaluate((x, y, o) => diffboot.analyse(x, y, o),
        c.x.map((v) => (Number.isNaN(v) ? "NaN" : Object.is(v, -0) ? "-0" : v)), c.y.map((v) => (Number.isNaN(v) ? "NaN" : Object.is(v, -0) ? "-0" : v)), c.o)
        .catch((e) => ({ error: String(e) }));
      if (got.error) { check(false, `${c.what}: ${got.error}`); continue; }
      compareDocuments(got, want, c.what);
    }

    console.log("step: Cancel ends a run");
    // Cancel ends a run of 10^6 values a sample within a second.
    const big = path.join(dir, "big.csv");
    const lines = ["x,y"];
    for (let i = 0; i < 1e6; ++i) lines.push(`${(i * 7919) % 1000003 / 1000},${(i * 104729) % 999983 / 900}`);
    fs.writeFileSync(big, lines.join("\n") + "\n");
    let t0 = Date.now();
    await open(big);
    console.log(`opened 10^6 rows in ${Date.now() - t0} ms`);
    await page.click('input[name="layout"][value="columns"]');
    await page.select("#column1", "x");
    await page.select("#column2", "y");
    await page.click("#run");
    await page.waitForFunction(() => !document.querySelector("#cancel").disabled, { timeout: 120000 });
    await new Promise((r) => setTimeout(r, 300));
    const ended = await page.evaluate(() => new Promise((resolve) => {
      const start = performance.now();
      document.querySelector("#cancel").click();
      const look = () => (document.querySelector("#run").disabled ? setTimeout(look, 10) : resolve(performance.now() - start));
      look();
    }));
    check(ended < 1000, `Cancel took ${ended} ms`);
    const said = await page.evaluate(() => document.querySelector("#stop").textContent);
    check(said === "diffboot: cancelled", `Cancel is not said: "${said}"`);
    // The page still works after a cancel.
    await page.evaluate(() => diffboot.analyse([1, 2, 3, 4], [2, 3, 4, 6], {})).catch((e) => check(false, "after Cancel: " + e));

    check(foreign.length === 0, "requests beyond the origin: " + foreign.join(" "));
    check(workerRequests > 0, "the worker's requests were not seen");
  } finally {
    await browser.close();
    server.kill();
    fs.rmSync(dir, { recursive: true, force: true });
  }
  for (const f of failures) console.log("FAIL " + f);
  console.log(`${checks} checks, ${failures.length} failed`);
  process.exit(failures.length ? 1 : 0);
}

main().catch((e) => { console.error(e); process.exit(1); });
