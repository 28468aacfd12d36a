// The engine's thread: reads tables and runs analyses off the page's own
// thread, so that the page stays responsive; the page ends it to cancel.
"use strict";
importScripts("engine.js");

const ready = createEngine();

self.onmessage = async (event) => {
  const engine = await ready;
  const { id, type } = event.data;
  let answer;
  if (type === "file") {
    // The table under its own name in the working folder, so that the
    // program's names and messages name it as the user knows it.
    engine.FS.mkdirTree("/data");
    engine.FS.chdir("/data");
    engine.FS.writeFile(event.data.name, event.data.text);
    answer = JSON.parse(engine.cells(event.data.name, false));
  } else if (type === "work") {
    answer = { work: engine.work(event.data.n_x, event.data.n_y, JSON.stringify(event.data.options)) };
  } else if (type === "run") {
    const started = performance.now();
    const x = event.data.x || [], y = event.data.y || [];
    answer = JSON.parse(engine.run(JSON.stringify(event.data.request), x, y));
    answer.milliseconds = performance.now() - started;
  }
  self.postMessage({ id, answer });
};
