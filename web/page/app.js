// The page: reads a table or pasted columns, hands the analysis to the
// engine's worker and shows its results, stops, notes and figure.
"use strict";

const $ = (id) => document.getElementById(id);

// The engine's worker, answering requests by id; cancelling ends it and
// starts another, which is given the table again.
const engine = (() => {
  let worker = null, next = 1;
  const waiting = new Map();
  let file = null;  // {name, text}: the table the worker holds
  function start() {
    worker = new Worker("worker.js");
    worker.onmessage = (event) => {
      const w = waiting.get(event.data.id);
      waiting.delete(event.data.id);
      if (w) w.resolve(event.data.answer);
    };
    worker.onerror = (event) => {
      for (const w of waiting.values()) w.reject(new Error(event.message || "the engine failed"));
      waiting.clear();
    };
    if (file) ask({ type: "file", ...file });
  }
  function ask(message) {
    if (!worker) start();
    const id = next++;
    return new Promise((resolve, reject) => {
      waiting.set(id, { resolve, reject });
      worker.postMessage({ id, ...message });
    });
  }
  function cancel() {
    if (worker) worker.terminate();
    worker = null;
    for (const w of waiting.values()) w.reject(Object.assign(new Error("cancelled"), { cancelled: true }));
    waiting.clear();
  }
  async function load(name, text) {
    file = { name, text };
    return ask({ type: "file", name, text });
  }
  return { ask, cancel, load };
})();

const state = { table: null, name: null, answer: null, svg: null, rate: 1e8 };

function show(id, on) { $(id).hidden = !on; }

function fillSelect(select, values, keep, blank) {
  const before = keep ? select.value : null;
  select.replaceChildren();
  if (blank) select.add(new Option(blank, ""));
  for (const v of values) select.add(new Option(v, v));
  if (before && values.includes(before)) select.value = before;
}

function stopShown(message) {
  $("stop").textContent = message ? "diffboot: " + message : "";
  show("stop", Boolean(message));
}

function refreshGroups() {
  if (!state.table) return;
  const k = state.table.header.indexOf($("by").value);
  const groups = k >= 0 ? state.table.distinct[k] : [];
  fillSelect($("group1"), groups, true);
  fillSelect($("group2"), groups, true);
  if ($("group1").value === $("group2").value && groups.length > 1) $("group2").value = groups[1];
}

function showTable(table) {
  state.table = table;
  const h = table.header;
  $("table-facts").textContent = `${state.name}: ${h.length} columns, ${table.rows} rows`;
  for (const id of ["column1", "column2", "by", "value"]) fillSelect($(id), h, true);
  fillSelect($("id"), h, true, "none");
  if (h.length > 1 && $("column1").value === $("column2").value) $("column2").value = h[1];
  // A long table: its first column of texts is likely the groups.
  const textual = table.textual.indexOf(true);
  if (textual >= 0) {
    $("by").value = h[textual];
    const other = h.findIndex((_, k) => k !== textual);
    if (other >= 0) $("value").value = h[other];
    document.querySelector('input[name="layout"][value="groups"]').checked = true;
  }
  layoutChanged();
  refreshGroups();
}

async function loadText(name, text) {
  stopShown(null);
  state.name = name;
  const answer = await engine.load(name, text);
  if (answer.stop) {
    state.table = null;
    $("table-facts").textContent = "";
    stopShown(answer.stop);
    return;
  }
  showTable(answer);
}

function layoutChanged() {
  const groups = document.querySelector('input[name="layout"]:checked').value === "groups";
  const paired = document.querySelector('input[name="experiment"]:checked').value === "paired";
  for (const e of document.querySelectorAll(".groups-only")) e.hidden = !groups;
  for (const e of document.querySelectorAll(".columns-only")) e.hidden = groups;
  for (const e of document.querySelectorAll(".paired-only")) e.hidden = !(groups && paired);
}

function options() {
  const text = (id) => $(id).value.trim();
  const o = { paired: document.querySelector('input[name="experiment"]:checked').value === "paired" };
  if (text("level")) o.level = text("level");
  if (text("replications")) o.replications = Number(text("replications"));
  if (text("seed")) o.seed = Number(text("seed"));
  if (text("measures")) o.measures = text("measures").split(/[\s,]+/).filter(Boolean);
  if ($("p-values").checked) o.permutations = 9999;
  return o;
}

function request() {
  const groups = document.querySelector('input[name="layout"]:checked').value === "groups";
  const o = options();
  const table = { path: state.name };
  if (groups) {
    Object.assign(table, { by: $("by").value, value: $("value").value, sample1: $("group1").value,
      sample2: $("group2").value, id: o.paired ? $("id").value : "" });
  } else {
    Object.assign(table, { sample1: $("column1").value, sample2: $("column2").value });
  }
  return { table, options: o, figure: true, replicates: true };
}

const shown = (v) => (v === null || v === undefined ? "—" : String(v));

function resultsTable(doc) {
  const p = doc.inputs.permutations > 0;
  const level = Math.round(doc.inputs.level * 1000) / 10;
  const heads = ["measure", "estimate", "t lower", "t upper", "BCa lower", "BCa upper", "percentile lower",
    "percentile upper", "basic lower", "basic upper", ...(p ? ["p (permutation)", "p (t)"] : [])];
  const keys = ["measure", "estimate", "t_lower", "t_upper", "bca_lower", "bca_upper", "percentile_lower",
    "percentile_upper", "basic_lower", "basic_upper", ...(p ? ["p_permutation", "p_t"] : [])];
  const wrap = document.createElement("div");
  wrap.className = "table-wrap";
  const table = document.createElement("table");
  table.id = "results-table";
  const caption = table.createCaption();
  caption.textContent = `${doc.inputs.sample1} − ${doc.inputs.sample2}: n = ${doc.inputs.n_x} and ${doc.inputs.n_y}, ` +
    `${doc.inputs.experiment}, ${level}% intervals, B = ${doc.inputs.B}, seed ${doc.inputs.seed}`;
  const head = table.createTHead().insertRow();
  for (const h of heads) {
    const th = document.createElement("th");
    th.scope = "col";
    th.textContent = h;
    head.appendChild(th);
  }
  const body = table.createTBody();
  for (const m of doc.measures) {
    const row = body.insertRow();
    row.dataset.measure = m.measure;
    keys.forEach((k, i) => {
      const cell = i === 0 ? document.createElement("th") : row.insertCell();
      if (i === 0) { cell.scope = "row"; row.appendChild(cell); }
      cell.dataset.key = k;
      cell.textContent = shown(m[k]);
    });
  }
  wrap.appendChild(table);
  return wrap;
}

function csvOf(doc) {
  const keys = ["estimate", "se", "bias", "t_lower", "t_upper", "bca_lower", "bca_upper", "percentile_lower",
    "percentile_upper", "basic_lower", "basic_upper", "z0", "acceleration"];
  const p = doc.inputs.permutations > 0;
  const cell = (s) => (/[",\r\n]/.test(s) ? '"' + s.replace(/"/g, '""') + '"' : s);
  const number = (v) => (v === null ? "NaN" : String(v));
  let out = "measure," + keys.join(",") + ",alpha,level,B,n_x,n_y,experiment,seed,missing_x,missing_y" +
    (doc.inputs.experiment === "paired" ? ",pairs_dropped" : "") + (p ? ",p_permutation,p_t,permutations" : "") +
    ",sample1,sample2\n";
  for (const m of doc.measures) {
    const i = doc.inputs;
    out += [m.measure, ...keys.map((k) => number(m[k])), i.alpha, i.level, i.B, i.n_x, i.n_y, i.experiment, i.seed,
      i.missing_x, i.missing_y, ...(i.experiment === "paired" ? [i.pairs_dropped] : []),
      ...(p ? [number(m.p_permutation), number(m.p_t), i.permutations] : []), cell(i.sample1), cell(i.sample2)].join(",") + "\n";
  }
  return out;
}

function replicatesCsv(replicates) {
  const names = Object.keys(replicates);
  const rows = [names.join(",")];
  const n = names.length ? replicates[names[0]].length : 0;
  for (let i = 0; i < n; ++i) rows.push(names.map((k) => (replicates[k][i] === null ? "NaN" : replicates[k][i])).join(","));
  return rows.join("\n") + "\n";
}

function save(name, blob) {
  const a = document.createElement("a");
  a.href = URL.createObjectURL(blob);
  a.download = name;
  document.body.appendChild(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(a.href), 1000);
}

async function download(kind) {
  const a = state.answer;
  if (!a) return;
  const base = (state.name || "diffboot").replace(/\.[^.]*$/, "");
  if (kind === "json") save(base + "-results.json", new Blob([JSON.stringify(a.document, null, 2) + "\n"], { type: "application/json" }));
  if (kind === "csv") save(base + "-results.csv", new Blob([csvOf(a.document)], { type: "text/csv" }));
  if (kind === "replicates") save(base + "-replicates.csv", new Blob([replicatesCsv(a.replicates || {})], { type: "text/csv" }));
  if ((kind === "svg" || kind === "png") && state.svg) {
    const text = new XMLSerializer().serializeToString(state.svg);
    if (kind === "svg") return save(base + "-figure.svg", new Blob([text], { type: "image/svg+xml" }));
    const image = new Image();
    image.src = URL.createObjectURL(new Blob([text], { type: "image/svg+xml" }));
    await image.decode();
    const canvas = document.createElement("canvas");
    canvas.width = state.svg.width.baseVal.value * 2;
    canvas.height = state.svg.height.baseVal.value * 2;
    canvas.getContext("2d").drawImage(image, 0, 0, canvas.width, canvas.height);
    canvas.toBlob((blob) => save(base + "-figure.png", blob), "image/png");
  }
}

function showAnswer(answer) {
  state.answer = answer;
  $("results").replaceChildren();
  $("figure").replaceChildren();
  state.svg = null;
  if (answer.stop) {
    stopShown(answer.stop);
    show("downloads", false);
    show("notes", false);
    return;
  }
  stopShown(null);
  const notes = [answer.notes, ...answer.measure_notes].filter(Boolean).join("\n").trim();
  $("notes").textContent = notes;
  show("notes", notes !== "");
  $("results").appendChild(resultsTable(answer.document));
  if (answer.figure) {
    const doc = answer.document;
    const description = `Every value of ${answer.labels[0]} (${doc.inputs.n_x}) and ${answer.labels[1]} ` +
      `(${doc.inputs.n_y}) with their means ± SD and medians; below, each measure's estimate with its BCa and ` +
      `t intervals and the density of its replicates. The numbers are in the table above.`;
    state.svg = figurePainter.paint(answer.figure, description);
    $("figure").appendChild(state.svg);
  } else if (answer.figure_stop) {
    $("figure").textContent = "No figure: " + answer.figure_stop;
  }
  show("downloads", true);
}

let running = null;

async function analyse(event) {
  event.preventDefault();
  if (!state.table) return stopShown("open a table or paste columns first");
  const req = request();
  const started = performance.now();
  const { work } = await engine.ask({ type: "work", n_x: state.table.rows, n_y: state.table.rows, options: req.options });
  $("run").disabled = true;
  $("cancel").disabled = false;
  show("progress", true);
  $("progress").value = 0;
  const tick = setInterval(() => {
    const seconds = (performance.now() - started) / 1000;
    $("progress").value = Math.min(0.99, work > 0 ? (seconds * state.rate) / work : 0);
  }, 100);
  running = { tick };
  try {
    const answer = await engine.ask({ type: "run", request: req });
    if (answer.milliseconds > 50 && work > 0) state.rate = work / (answer.milliseconds / 1000);
    showAnswer(answer);
    $("progress").value = 1;
  } catch (e) {
    if (e.cancelled) stopShown("cancelled");
    else stopShown(String(e.message || e));
  } finally {
    clearInterval(tick);
    running = null;
    $("run").disabled = false;
    $("cancel").disabled = true;
    show("progress", false);
    $("run").focus();
  }
}

function cancel() {
  engine.cancel();
  if (running) clearInterval(running.tick);
}

async function readFile(file) {
  await loadText(file.name, await file.text());
}

function pasted() {
  let text = $("paste").value.replace(/^\s+/, "");
  if (!text) return;
  const first = text.split(/\r?\n/, 1)[0];
  const delimiter = first.includes("\t") ? "\t" : first.includes(";") ? ";" : first.includes(",") ? "," : " ";
  const cells = first.trim().split(delimiter === " " ? / +/ : delimiter);
  // Columns without a header line are named x and y (1, 2, ... beyond two).
  if (cells.every((c) => c.trim() !== "" && !isNaN(Number(c.trim().replace(",", "."))))) {
    const names = cells.map((_, k) => (cells.length === 2 ? ["x", "y"][k] : String(k + 1)));
    text = names.join(delimiter) + "\n" + text;
  }
  return loadText("pasted.csv", text);
}

// What programs and tests call: the program's json document for two
// samples' values (NaN missing) and options, from the page's own engine.
window.diffboot = {
  async analyse(x, y, o = {}) {
    const answer = await engine.ask({ type: "run", x: Array.from(x), y: Array.from(y),
      request: { options: o, figure: false, replicates: false } });
    if (answer.stop) throw new Error(answer.stop);
    return answer.document;
  },
};

$("form").addEventListener("submit", analyse);
$("cancel").addEventListener("click", cancel);
$("file").addEventListener("change", () => $("file").files[0] && readFile($("file").files[0]));
$("use-paste").addEventListener("click", pasted);
$("by").addEventListener("change", refreshGroups);
for (const e of document.querySelectorAll('input[name="layout"], input[name="experiment"]')) {
  e.addEventListener("change", layoutChanged);
}
for (const b of document.querySelectorAll("[data-download]")) b.addEventListener("click", () => download(b.dataset.download));
const drop = $("drop");
drop.addEventListener("dragover", (e) => { e.preventDefault(); drop.classList.add("over"); });
drop.addEventListener("dragleave", () => drop.classList.remove("over"));
drop.addEventListener("drop", (e) => {
  e.preventDefault();
  drop.classList.remove("over");
  if (e.dataTransfer.files[0]) readFile(e.dataTransfer.files[0]);
});
