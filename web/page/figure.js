// The estimation figure painted as SVG from the library's layout: panels,
// axes, ticks, marks in their roles, texts and legend, in the places the
// layout gives in inches (96 pixels an inch here).
"use strict";

const figurePainter = (() => {
  const NS = "http://www.w3.org/2000/svg";
  const PX = 96;

  function element(name, attributes, parent) {
    const e = document.createElementNS(NS, name);
    for (const [k, v] of Object.entries(attributes)) e.setAttribute(k, String(v));
    if (parent) parent.appendChild(e);
    return e;
  }

  function text(parent, x, y, content, attributes = {}) {
    const t = element("text", { x, y, "dominant-baseline": "middle", ...attributes }, parent);
    t.textContent = content;
    return t;
  }

  // Where an axis value stands between `from` and `to` pixels.
  function scale(axis, from, to) {
    const f = axis.log ? Math.log10 : (v) => v;
    const low = f(axis.low), high = f(axis.high);
    return (v) => from + ((f(v) - low) / (high - low)) * (to - from);
  }

  function paint(layout, description) {
    const W = layout.width * PX, H = layout.height * PX, font = (layout.font * PX) / 72;
    const px = (inches) => inches * PX, py = (inches) => H - inches * PX;
    const svg = element("svg", { xmlns: NS, width: W, height: H, viewBox: `0 0 ${W} ${H}`, role: "img",
      "font-family": "sans-serif", "font-size": font });
    element("title", {}, svg).textContent = layout.title || "estimation figure";
    element("desc", {}, svg).textContent = description;
    element("rect", { x: 0, y: 0, width: W, height: H, fill: "white" }, svg);
    text(svg, W / 2, py(layout.height - 0.6 * layout.line), layout.title, { "text-anchor": "middle", class: "title" });
    const lineWidth = (w) => (w * layout.font) / 8 * PX / 72;
    layout.panels.forEach((p, k) => {
      const g = element("g", { class: p.samples ? "panel samples" : "panel effects", "data-panel": k }, svg);
      const left = px(p.left), right = px(p.right), top = py(p.top), bottom = py(p.bottom);
      const sx = scale(p.x, left, right), sy = scale(p.y, bottom, top);
      const sy2 = p.y2 ? scale(p.y2, bottom, top) : null;
      const columns = p.samples || p.upright;
      // Axes: the left and bottom lines, ticks and their labels, titles.
      element("line", { x1: left, y1: bottom, x2: right, y2: bottom, stroke: "black" }, g);
      if (columns) element("line", { x1: left, y1: top, x2: left, y2: bottom, stroke: "black" }, g);
      const xTicks = columns ? p.categories : p.x.ticks;
      for (const t of xTicks) {
        const x = sx(t.at);
        if (!columns) element("line", { x1: x, y1: top, x2: x, y2: bottom, stroke: "#ebebeb" }, g);
        text(g, x, bottom + font, t.label, { "text-anchor": "middle" });
      }
      const yTicks = columns ? p.y.ticks : p.categories;
      for (const t of yTicks) text(g, left - 0.4 * font, sy(t.at), t.label, { "text-anchor": "end" });
      if (p.y2) {
        element("line", { x1: right, y1: top, x2: right, y2: bottom, stroke: "black" }, g);
        for (const t of p.y2.ticks) text(g, right + 0.4 * font, sy2(t.at), t.label);
        if (p.y2.title) text(g, right + 3.5 * font, (top + bottom) / 2, p.y2.title,
          { "text-anchor": "middle", transform: `rotate(90 ${right + 3.5 * font} ${(top + bottom) / 2})` });
      }
      if (p.x.title) text(g, (left + right) / 2, bottom + 2.2 * font, p.x.title, { "text-anchor": "middle" });
      if (p.y.title) text(g, left - 4 * font, (top + bottom) / 2, p.y.title,
        { "text-anchor": "middle", transform: `rotate(-90 ${left - 4 * font} ${(top + bottom) / 2})` });
      if (p.zero_line) {
        const attributes = { stroke: "#7f7f7f", "stroke-dasharray": "4 3", "stroke-width": lineWidth(0.8) };
        if (p.upright) element("line", { x1: left, x2: right, y1: sy(0), y2: sy(0), ...attributes }, g);
        else element("line", { x1: sx(0), x2: sx(0), y1: top, y2: bottom, ...attributes }, g);
      }
      for (const m of p.marks) {
        const fy = m.second_axis && sy2 ? sy2 : sy;
        const group = element("g", { class: "mark " + m.role, "data-role": m.role }, g);
        element("title", {}, group).textContent = m.what;
        if (m.kind === "discs") {
          m.x.forEach((x, i) => {
            if (x === null || m.y[i] === null) return;
            element("circle", { cx: sx(x), cy: fy(m.y[i]), r: (m.diameter[i] ?? m.diameter[0]) / 2 * PX / 72,
              fill: m.colour }, group);
          });
        } else if (m.kind === "lines") {
          const cuts = [0, ...m.breaks, m.x.length];
          for (let c = 0; c + 1 < cuts.length; ++c) {
            const points = [];
            for (let i = cuts[c]; i < cuts[c + 1]; ++i) points.push(`${sx(m.x[i])},${fy(m.y[i])}`);
            element("polyline", { points: points.join(" "), fill: "none", stroke: m.colour,
              "stroke-width": lineWidth(m.width) }, group);
          }
        } else {
          const points = m.x.map((x, i) => `${sx(x)},${fy(m.y[i])}`).join(" ");
          element("polygon", { points, fill: m.colour, "fill-opacity": m.opacity, stroke: "none" }, group);
        }
      }
      for (const t of p.texts) text(g, px(t.x), sy(t.y), t.text, { fill: t.colour, class: "numbers" });
    });
    const colours = { bca: "#CC79A7", t: "#009E73" };
    for (const p of layout.panels.slice(1)) for (const m of p.marks) if (m.role in colours) colours[m.role] = m.colour;
    const legend = element("g", { class: "legend" }, svg);
    for (const e of layout.legend) {
      const y = py(e.y);
      if (e.kind === "mean_sd") {
        const x = (px(e.left) + px(e.right)) / 2, half = 0.4 * layout.line * PX;
        element("line", { x1: x, x2: x, y1: y - half, y2: y + half, stroke: "black", "stroke-width": lineWidth(1.5) }, legend);
        element("circle", { cx: x, cy: y, r: layout.line * PX * 0.15, fill: "black" }, legend);
      } else {
        const width = e.kind === "bca" ? layout.bca_thickness * PX / 72 : lineWidth(1.5);
        element("line", { x1: px(e.left), x2: px(e.right), y1: y, y2: y, "stroke-width": width,
          stroke: e.kind === "median" ? "black" : colours[e.kind] }, legend);
      }
      text(legend, px(e.text_x), y, e.text);
    }
    return svg;
  }

  return { paint };
})();
