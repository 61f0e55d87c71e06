// The explorer page of plovo --serve: the runs with their brakings, and a run's linked panels.
//
// Sections: chart types and formatting; API; runs page; run page (state, address, fetching);
// panels; cursor and readout; brakings list; compare; save; keys. The page routes on
// location.pathname: "/" is the runs page, "/run/ID" a run.
(function () {
"use strict";

// ---------------------------------------------------------------------------------------------
// Chart types and formatting

// The chart types by the names the API takes, with the labels plovo's window shows.
const CHART_LABELS = {
    "time": "Time [s]",
    "velocity": "Velocity [m/s]",
    "acceleration": "Acceleration [m/ss]",
    "coupler-distance": "Coupler.Dist[m]",
    "coupler-force": "Coupler.Force[N]",
    "traction-force": "TractionForce [kN]",
    "friction-force": "FrictionForce [kN]",
    "brake-force": "BrakeForce [kN]",
    "brake-pressure": "BrakePress [MPa]",
    "pipe-pressure": "PipePress [MPa]",
    "motor-current": "MotorCurrent [A]",
    "distance": "Distance [m]",
    "traction-power": "TractionPower [kW]",
    "traction-energy": "TractionEnergy [kWh]",
};
const CHART_NAMES = Object.keys(CHART_LABELS);
const DEFAULT_CHARTS = ["velocity", "brake-pressure", "pipe-pressure"];

const MAIN_COLOUR = "#1f5fbf";
const COMPARE_COLOUR = "#e8710a";
// One colour a run in the brakings scatter, repeated past ten runs.
const RUN_COLOURS = ["#1f5fbf", "#e8710a", "#2a9d5c", "#c23b5a", "#7b52ab", "#8c6d1f",
                     "#d45fb0", "#5f6b7a", "#17a2b8", "#9aa425"];

// A number for reading in a table or on an axis: at most 7 significant digits, no float noise
// (2.9999999999 is 3), no thousands separators; exact values are in the readout and the CSV.
function shortNumber(v) {
    if (v === null || v === undefined || Number.isNaN(v)) return "";
    if (typeof v !== "number") return String(v);
    return String(Number(v.toPrecision(7)));
}

// A figure in a list, to a fixed number of decimals; the CSV has it exactly.
function fixed(v, decimals) {
    return typeof v === "number" ? v.toFixed(decimals) : "";
}

// An axis tick: enough digits to tell the ticks apart, none of the float's noise.
function tickText(v) {
    return String(Number(v.toPrecision(10)));
}

// The CSV column names the tables use, made readable: max_speed_mps -> "max speed [m/s]".
const UNIT_SUFFIXES = [["_mps2", "m/s²"], ["_mps", "m/s"], ["_kwh", "kWh"], ["_mpa", "MPa"],
                       ["_s", "s"], ["_m", "m"], ["_n", "N"], ["_a", "A"]];
function columnHeading(name) {
    for (const [suffix, unit] of UNIT_SUFFIXES) {
        if (name.endsWith(suffix)) {
            return name.slice(0, -suffix.length).replace(/_/g, " ") + " [" + unit + "]";
        }
    }
    return name.replace(/_/g, " ");
}

function baseName(path) {
    return String(path).replace(/\/+$/, "").split("/").pop() || String(path);
}

// An element with its attributes ("class", "text", "on<event>" handlers, the rest as they are)
// and its children (nodes, text, or arrays of them, nested as they come).
function el(tag, attrs, ...children) {
    const node = document.createElement(tag);
    for (const [key, value] of Object.entries(attrs || {})) {
        if (value === undefined || value === null || value === false) continue;
        if (key === "class") node.className = value;
        else if (key === "text") node.textContent = value;
        else if (key.startsWith("on")) node.addEventListener(key.slice(2), value);
        else node.setAttribute(key, value === true ? "" : value);
    }
    for (const child of children.flat(Infinity)) {
        if (child === null || child === undefined || child === false) continue;
        node.append(child instanceof Node ? child : document.createTextNode(String(child)));
    }
    return node;
}

// ---------------------------------------------------------------------------------------------
// API

// The token reached the server with the page's first request, which set the cookie every later
// request carries; it must not stay in the address bar, the history or any link built here.
(function dropTokenFromAddress() {
    const url = new URL(location.href);
    if (!url.searchParams.has("token")) return;
    url.searchParams.delete("token");
    history.replaceState(null, "", url.pathname + url.search.replace(/%2C/gi, ",")
                         .replace(/%3A/gi, ":") + url.hash);
})();

let requestsInFlight = 0;

class ApiError extends Error {
    constructor(status, message) {
        super(message);
        this.status = status;
    }
}

// A path with its query; commas and colons stay readable (charts=velocity,brake-pressure).
function withQuery(path, params) {
    const parts = [];
    for (const [key, value] of Object.entries(params || {})) {
        if (value === undefined || value === null || value === "") continue;
        parts.push(key + "=" + encodeURIComponent(String(value)).replace(/%2C/g, ",")
                   .replace(/%3A/g, ":"));
    }
    return parts.length ? path + "?" + parts.join("&") : path;
}

async function fetchText(path, params, signal) {
    requestsInFlight++;
    showBusy();
    try {
        const response = await fetch(withQuery(path, params),
                                     {credentials: "same-origin", signal});
        const text = await response.text();
        if (!response.ok) {
            let message = response.status + " " + response.statusText;
            try {
                message = JSON.parse(text).error || message;
            } catch (e) { /* not JSON: keep the status line */ }
            if (response.status === 401 || response.status === 403) {
                message = "plovo refused the request (" + message + "): open the page with the " +
                          "link plovo printed, which carries its token";
            }
            throw new ApiError(response.status, message);
        }
        return text;
    } finally {
        requestsInFlight--;
        showBusy();
    }
}

async function getJson(path, params, signal) {
    return JSON.parse(await fetchText(path, params, signal));
}

// The same, with every number kept as the text the server wrote: the readout shows a sample as
// plovo writes it (1e-07, not JavaScript's 1e-7). Strings are matched whole first, so digits
// inside one are left alone.
const JSON_STRING_OR_NUMBER = /"(?:[^"\\]|\\.)*"|-?\d+(?:\.\d+)?(?:[eE][+-]?\d+)?/g;
async function getJsonText(path, params, signal) {
    const text = await fetchText(path, params, signal);
    return JSON.parse(text.replace(JSON_STRING_OR_NUMBER,
                                   (token) => token[0] === '"' ? token : '"' + token + '"'));
}

const api = {
    runs: () => getJson("/api/runs"),
    brakings: (id) => getJson(`/api/runs/${id}/brakings`),
    sample: (id, at, signal) => getJsonText(`/api/runs/${id}/sample`, {at: String(at)}, signal),
    series: (id, params, signal) => getJson(`/api/runs/${id}/series`, params, signal),
};

function showFatal(message) {
    const app = document.getElementById("app");
    app.replaceChildren(topBar([]), el("div", {class: "fatal"}, el("p", {text: message}),
                                        el("p", {}, el("a", {href: "/", text: "All runs"}))));
}

function topBar(crumbs, ...rest) {
    return el("header", {class: "topbar"},
              el("a", {class: "brand", href: "/", title: "All runs"}, "plovo"),
              el("nav", {class: "crumbs"}, crumbs),
              el("div", {class: "topbar-rest"}, rest),
              el("div", {class: "busy", id: "busy"}));
}

// The thin bar under the top bar while requests are out.
function showBusy() {
    const bar = document.getElementById("busy");
    if (bar) bar.classList.toggle("on", requestsInFlight > 0);
}

// ---------------------------------------------------------------------------------------------
// Runs page

// The columns every run object has that are not summary figures; the rest are shown as they
// come, so a column the server adds later appears without a change here.
const RUN_META_KEYS = new Set(["id", "log", "readable", "pending", "error", "state"]);

function runsPage() {
    const params = new URL(location.href).searchParams;
    const state = {
        runs: [],
        sortKey: params.get("sort") || "id",
        sortDown: params.get("desc") === "1",
        filter: params.get("filter") || "",
        brakings: new Map(),  // run id -> {count, rows}
        points: [],
        scatter: null,
        loadedText: "",
    };

    const filterInput = el("input", {type: "search", placeholder: "Filter by name",
                                     value: state.filter, class: "filter",
                                     "aria-label": "Filter runs by name"});
    const count = el("span", {class: "count"});
    const table = el("table", {class: "runs", id: "runs-table"});
    const scatterBox = el("div", {class: "scatter", id: "scatter"});
    const scatterNote = el("p", {class: "note"});
    const legend = el("div", {class: "scatter-legend"});
    const tooltip = el("div", {class: "tooltip", hidden: true});

    document.getElementById("app").replaceChildren(
        topBar([el("span", {text: "Runs"})],
               el("a", {href: "/api/runs.csv", download: "runs.csv", class: "button",
                        text: "Runs as CSV"})),
        el("main", {class: "runs-page"},
           el("section", {class: "card"},
              el("div", {class: "card-head"}, el("h2", {text: "Runs"}), count,
                 el("div", {class: "spacer"}), filterInput),
              el("div", {class: "table-wrap"}, table)),
           el("section", {class: "card"},
              el("div", {class: "card-head"},
                 el("h2", {text: "Brakings: initial speed against braking distance"}),
                 el("div", {class: "spacer"}), scatterNote),
              scatterBox, legend),
           el("footer", {class: "note"}, "Charts drawn with uPlot, under the ",
              el("a", {href: "/assets/uPlot-LICENSE.txt", text: "MIT licence"}), ".")),
        tooltip);
    document.title = "plovo: runs";

    let resizeTimer = 0;
    window.addEventListener("resize", () => {
        clearTimeout(resizeTimer);
        resizeTimer = setTimeout(() => {
            if (state.scatter) state.scatter.setSize({width: scatterBox.clientWidth, height: 360});
        }, 100);
    });

    filterInput.addEventListener("input", () => {
        state.filter = filterInput.value;
        keepRunsAddress(state);
        renderTable(state, table, count);
    });

    window.plovoView = () => ({
        page: "runs",
        runs: state.runs.length,
        pending: state.runs.filter((r) => r.pending).length,
        brakings: state.points.length,
        busy: requestsInFlight > 0,
    });

    // The list fills in as the summaries finish: ask again until none is pending, then now and
    // then for followed logs that grew or went.
    async function poll() {
        let again = 5000;
        if (document.hidden) {
            setTimeout(poll, 1000);
            return;
        }
        try {
            const text = await fetchText("/api/runs");
            if (text !== state.loadedText) {
                state.loadedText = text;
                state.runs = JSON.parse(text);
                renderTable(state, table, count);
                await loadBrakings(state);
                renderScatter(state, scatterBox, legend, scatterNote, tooltip);
            }
            if (state.runs.some((r) => r.pending)) again = 1000;
        } catch (e) {
            count.textContent = e.message;
            if (e.status === 401 || e.status === 403) return;
        }
        setTimeout(poll, again);
    }
    poll();
}

function keepRunsAddress(state) {
    const query = withQuery("/", {sort: state.sortKey === "id" ? null : state.sortKey,
                                  desc: state.sortDown ? "1" : null,
                                  filter: state.filter || null});
    history.replaceState(null, "", query);
}

function runColumns(runs) {
    const columns = [];
    for (const run of runs) {
        for (const key of Object.keys(run)) {
            if (!RUN_META_KEYS.has(key) && !columns.includes(key)) columns.push(key);
        }
    }
    return columns;
}

// Numbers before text, nulls and pending runs last whichever way the column is sorted.
function compareCells(a, b) {
    const aNone = a === null || a === undefined, bNone = b === null || b === undefined;
    if (aNone || bNone) return aNone === bNone ? 0 : aNone ? 1 : -1;
    if (typeof a === "number" && typeof b === "number") return a - b;
    if (typeof a === "number") return -1;
    if (typeof b === "number") return 1;
    return String(a).localeCompare(String(b), undefined, {numeric: true});
}

function renderTable(state, table, count) {
    const columns = runColumns(state.runs);
    const filter = state.filter.toLowerCase();
    const shown = state.runs.filter((r) => String(r.log).toLowerCase().includes(filter));
    const key = state.sortKey;
    shown.sort((a, b) => {
        const order = compareCells(a[key], b[key]);
        const none = (v) => v === null || v === undefined;
        if (none(a[key]) || none(b[key])) return order || a.id - b.id;
        return (state.sortDown ? -order : order) || a.id - b.id;
    });
    const pending = state.runs.filter((r) => r.pending).length;
    count.textContent = `${shown.length} of ${state.runs.length}` +
                        (pending ? `, ${pending} being summarised` : "");

    const heading = (name, label, title) => {
        const sorted = key === name;
        return el("th", {
            class: (sorted ? "sorted " : "") + (name === "log" ? "text" : "num") +
                   (name === "id" ? " id" : ""),
            title: title || name,
            "aria-sort": sorted ? (state.sortDown ? "descending" : "ascending") : null,
            onclick: () => {
                state.sortDown = sorted ? !state.sortDown : false;
                state.sortKey = name;
                keepRunsAddress(state);
                renderTable(state, table, count);
            },
        }, label, el("span", {class: "arrow",
                              text: sorted ? (state.sortDown ? "▼" : "▲") : ""}));
    };
    const head = el("tr", {}, heading("id", "#", "id"), heading("log", "log"),
                    el("th", {class: "text", text: "state"}),
                    columns.map((c) => heading(c, columnHeading(c), c)));
    const rows = shown.map((run) => {
        const open = run.readable !== false;
        const link = open ? el("a", {href: `/run/${run.id}`, text: String(run.log),
                                     title: String(run.log)})
                          : el("span", {text: String(run.log), title: String(run.log)});
        const cells = [el("td", {class: "num", text: String(run.id)}),
                       el("td", {class: "text log"}, link),
                       el("td", {class: "text"}, stateBadge(run))];
        if (!open) {
            cells.push(el("td", {class: "text error", colspan: String(Math.max(1, columns.length)),
                                 text: run.error || "unreadable"}));
        } else if (run.pending) {
            cells.push(el("td", {class: "text pending",
                                 colspan: String(Math.max(1, columns.length)),
                                 text: "summarising…"}));
        } else {
            for (const c of columns) {
                const v = run[c];
                const text = typeof v === "boolean" ? (v ? "yes" : "no") : shortNumber(v);
                cells.push(el("td", {class: typeof v === "string" ? "text" : "num", text,
                                     title: v === null || v === undefined ? null : String(v)}));
            }
        }
        return el("tr", {class: open ? "openable" : "unreadable", "data-run": String(run.id),
                         onclick: (e) => {
                             if (open && !e.target.closest("a")) location.href = `/run/${run.id}`;
                         }}, cells);
    });
    table.replaceChildren(el("thead", {}, head), el("tbody", {}, rows));
}

function stateBadge(run) {
    if (run.readable === false) return el("span", {class: "badge bad", text: "unreadable"});
    const state = run.state || "live";
    const text = {live: "live", truncated: "truncated", replaced: "replaced", gone: "gone"}[state]
                 || state;
    return el("span", {class: "badge " + (state === "live" ? "ok" : "bad"), text,
                       title: stateSentence(run) || "followed: new samples appear as it grows"});
}

// What the page says of a followed log that stopped being the one it read.
function stateSentence(run) {
    const name = baseName(run.log);
    switch (run.state) {
        case "truncated": return `${name} was truncated: it is now shorter than what was read. ` +
                                 "What is shown is what was read before.";
        case "replaced": return `${name} was replaced by another file. ` +
                                "What is shown is the run read before.";
        case "gone": return `${name} is gone. What is shown is what was read before.`;
        default: return "";
    }
}

// Each run's brakings, asked for again only when its count changed.
async function loadBrakings(state) {
    const wanted = state.runs.filter((r) => r.readable !== false && !r.pending &&
                                            r.brakings !== 0);
    const queue = wanted.filter((r) => {
        const known = state.brakings.get(r.id);
        return !known || known.count !== r.brakings || r.brakings === undefined;
    });
    // Four at a time: a fleet of runs should not open hundreds of connections at once.
    const workers = Array.from({length: Math.min(4, queue.length)}, async () => {
        while (queue.length) {
            const run = queue.shift();
            try {
                state.brakings.set(run.id, {count: run.brakings, rows: await api.brakings(run.id)});
            } catch (e) {
                state.brakings.set(run.id, {count: run.brakings, rows: [], error: e.message});
            }
        }
    });
    await Promise.all(workers);
    state.points = [];
    for (const run of state.runs) {
        const known = state.brakings.get(run.id);
        if (!known) continue;
        for (const row of known.rows) {
            if (typeof row.start_speed_mps === "number" &&
                typeof row.braking_distance_m === "number") {
                state.points.push({run, row, x: row.start_speed_mps, y: row.braking_distance_m});
            }
        }
    }
}

function runColour(id) {
    return RUN_COLOURS[(id - 1) % RUN_COLOURS.length];
}

// The fleet's brakings as one picture. uPlot draws the axes, grid and points (one series a run,
// on one x array of every braking's initial speed); hovering and clicking find the nearest
// point in pixels here, as uPlot's own cursor snaps along x only.
function renderScatter(state, box, legend, note, tooltip) {
    const points = state.points.slice().sort((a, b) => a.x - b.x);
    const runs = [...new Set(points.map((p) => p.run))];
    note.textContent = points.length
        ? `${points.length} brakings of ${runs.length} runs: hover for the figures, ` +
          "click to open one"
        : state.runs.some((r) => r.pending) ? "waiting for the summaries…" : "no brakings";
    if (state.scatter) {
        state.scatter.destroy();
        state.scatter = null;
    }
    runs.sort((a, b) => a.id - b.id);
    legend.replaceChildren(...(runs.length <= 24 ? runs.map((run) => el("span", {class: "key"},
        el("i", {style: `background:${runColour(run.id)}`}), `${run.id} ${baseName(run.log)}`))
        : []));
    if (!points.length) {
        box.replaceChildren();
        return;
    }
    // One series a colour, not a run: a fleet of hundreds of runs would otherwise make as many
    // arrays as long as every braking together.
    const xs = points.map((p) => p.x);
    const colours = [...new Set(runs.map((run) => runColour(run.id)))];
    const data = [xs];
    for (const colour of colours) {
        data.push(points.map((p) => (runColour(p.run.id) === colour ? p.y : null)));
    }
    const width = Math.max(320, box.clientWidth);
    const opts = {
        width, height: 360,
        legend: {show: false},
        cursor: {show: false, drag: {x: false, y: false}},
        select: {show: false},
        // Distances from 0, so that twice as high reads as twice as long.
        scales: {x: {time: false},
                 y: {range: (u, min, max) => uPlot.rangeNum(Math.min(0, min), max, 0.1, true)}},
        axes: [
            {label: "Initial speed [m/s]", values: (u, v) => v.map(tickText), ...axisStyle()},
            {label: "Braking distance [m]", values: (u, v) => v.map(tickText), size: 64,
             ...axisStyle()},
        ],
        series: [{}, ...colours.map((colour) => ({
            stroke: colour, paths: () => null,
            points: {show: true, size: 8, width: 1.5, fill: colour + "aa"},
        }))],
    };
    const chart = new uPlot(opts, data, box);
    state.scatter = chart;

    const nearest = (e) => {
        const rect = chart.over.getBoundingClientRect();
        const px = e.clientX - rect.left, py = e.clientY - rect.top;
        let best = null, bestDist = 64;  // px², a point within 8 px
        for (const p of points) {
            const dx = chart.valToPos(p.x, "x") - px, dy = chart.valToPos(p.y, "y") - py;
            const d = dx * dx + dy * dy;
            if (d < bestDist) {
                best = p;
                bestDist = d;
            }
        }
        return best;
    };
    chart.over.addEventListener("mousemove", (e) => {
        const p = nearest(e);
        chart.over.style.cursor = p ? "pointer" : "default";
        if (!p) {
            tooltip.hidden = true;
            return;
        }
        const r = p.row;
        tooltip.replaceChildren(
            el("b", {text: `run ${p.run.id}: ${baseName(p.run.log)}`}),
            el("div", {text: `braking ${r.braking} at ${r.start_s} s`}),
            el("div", {text: `initial speed ${r.start_speed_mps} m/s`}),
            el("div", {text: `braking distance ${r.braking_distance_m} m`}),
            el("div", {text: isStopped(r) ? `stopped after ${shortNumber(r.time_to_stop_s)} s`
                                          : "did not stop"}));
        tooltip.hidden = false;
        const x = Math.min(e.clientX + 14, window.innerWidth - tooltip.offsetWidth - 8);
        tooltip.style.left = x + window.scrollX + "px";
        tooltip.style.top = e.clientY + window.scrollY + 14 + "px";
    });
    chart.over.addEventListener("mouseleave", () => { tooltip.hidden = true; });
    chart.over.addEventListener("click", (e) => {
        const p = nearest(e);
        if (p) location.href = brakingLink(p.run.id, p.row);
    });
}

function isStopped(row) {
    return row.stopped === true || row.stopped === "true";
}

// A braking's stretch: from its application to its stop, or to its end when it did not stop
// (a braking held at a standstill would otherwise stretch to the end of the run).
function brakingStretch(row) {
    const end = isStopped(row) && typeof row.stop_s === "number" ? row.stop_s : row.end_s;
    return [row.start_s, Math.max(end, row.start_s)];
}

// The stretch with room on both sides: a fifth of its length, and at least 2 s.
function brakingView(row) {
    const [start, end] = brakingStretch(row);
    const margin = Math.max((end - start) * 0.2, 2);
    return [start - margin, end + margin];
}

function brakingLink(runId, row) {
    const [at, to] = brakingView(row);
    return withQuery(`/run/${runId}`, {at: roundedTime(at, to - at), to: roundedTime(to, to - at),
                                       cursor: String(row.start_s)});
}

// A view's edge for the address: a ten-thousandth of the span is as fine as anyone zooms by.
function roundedTime(t, span) {
    if (!(span > 0)) return String(t);
    const decimals = Math.max(0, Math.min(12, Math.ceil(-Math.log10(span / 1e4))));
    return String(Number(t.toFixed(decimals)));
}

function axisStyle() {
    return {
        stroke: "#4a5260",
        font: "11px system-ui, sans-serif",
        labelFont: "12px system-ui, sans-serif",
        grid: {stroke: "#e6e9ee", width: 1},
        ticks: {stroke: "#c9ced6", width: 1, size: 4},
    };
}

// ---------------------------------------------------------------------------------------------
// Run page: state and address

const Y_AXIS_WIDTH = 66;    // px, the same in every panel so that their plots line up
const X_AXIS_HEIGHT = 44;   // px, under the bottom panel, with its label
const SETTLE_MS = 150;      // a zoom or a pan this long still has settled: fetch its data
const READOUT_MS = 25;      // cursor moves closer than this make one request
const ADDRESS_MS = 300;     // the address bar follows at most this often (browsers throttle)
const FOLLOW_MS = 1000;     // how often a followed log is asked whether it grew

const view = {
    id: 0,
    run: null,             // the run's object from /api/runs
    runs: [],              // every run, for the compare menu
    charts: DEFAULT_CHARTS.slice(),
    x: "time",             // "time" or "distance"
    xmin: NaN, xmax: NaN,  // the x scale now (s or m), what is drawn
    whole: true,           // the view is the whole run: it follows the log's end
    at: null, to: null,    // the settled view's first and last times (s)
    pendingTimes: null,    // [at, to] to turn into the x range once data in this x arrives
    extent: null,          // {lo, hi} of the run on the x axis
    data: null,            // the run's points for the panels (see pointsFrom)
    brakings: [],
    cursor: null,          // {t, text, sample, x, values}: the sample under the cursor
    compare: null,         // {id, n, row, run, data, anchor, readout}
    panels: [],            // {chart, uplot, box, cursorLine, selection}
    ready: false,          // the first data is drawn
};

function parseRunAddress() {
    const params = new URL(location.href).searchParams;
    const number = (name) => {
        const v = params.get(name);
        return v !== null && v.trim() !== "" && Number.isFinite(Number(v)) ? Number(v) : null;
    };
    const asked = (params.get("charts") || "").split(",").map((c) => c.trim()).filter(Boolean);
    const known = asked.filter((c) => CHART_LABELS[c]);
    const unknown = asked.filter((c) => !CHART_LABELS[c]);
    let compare = null;
    const m = /^(\d+):(\d+)$/.exec(params.get("compare") || "");
    if (m) compare = {id: Number(m[1]), n: Number(m[2])};
    return {
        charts: known.length ? [...new Set(known)] : DEFAULT_CHARTS.slice(),
        unknown,
        x: params.get("x") === "distance" ? "distance" : "time",
        at: number("at"), to: number("to"), cursor: number("cursor"), compare,
    };
}

let addressTimer = 0;
function keepRunAddress() {
    clearTimeout(addressTimer);
    addressTimer = setTimeout(() => {
        addressTimer = 0;
        history.replaceState(null, "", runLink());
        updateSaveLinks();
    }, ADDRESS_MS);
}

// The link that opens this view again.
function runLink() {
    const span = view.to - view.at;
    return withQuery(`/run/${view.id}`, {
        charts: view.charts.join(","),
        at: view.whole || view.at === null ? null : roundedTime(view.at, span),
        to: view.whole || view.to === null ? null : roundedTime(view.to, span),
        x: view.x,
        cursor: view.cursor ? view.cursor.text : null,
        compare: view.compare ? `${view.compare.id}:${view.compare.n}` : null,
    });
}

// ---------------------------------------------------------------------------------------------
// Run page: layout and start

const dom = {};

async function runPage(id) {
    view.id = id;
    const asked = parseRunAddress();
    view.charts = asked.charts;
    view.x = asked.x;
    window.plovoView = plovoView;

    let runs;
    try {
        runs = await api.runs();
    } catch (e) {
        showFatal(e.message);
        return;
    }
    view.runs = runs;
    view.run = runs.find((r) => r.id === id);
    if (!view.run) {
        showFatal(runs.length ? `There is no run ${id}: plovo serves runs 1 to ${runs.length}.`
                              : `There is no run ${id}: plovo serves no run.`);
        return;
    }
    if (view.run.readable === false) {
        showFatal(`${view.run.log} cannot be read: ${view.run.error || "unreadable"}.`);
        return;
    }
    buildRunLayout(asked);
    document.title = `plovo: ${baseName(view.run.log)}`;

    if (asked.at !== null && asked.to !== null && asked.to > asked.at) {
        view.whole = false;
        view.at = asked.at;
        view.to = asked.to;
        view.pendingTimes = [asked.at, asked.to];
        if (view.x === "time") {
            view.xmin = asked.at;
            view.xmax = asked.to;
        }
    }
    noteExtent(view.run);
    buildPanels();
    // The brakings first: the comparison is aligned on the first one in the view.
    await Promise.all([loadBrakingsList(),
                       asked.compare && setCompare(asked.compare.id, asked.compare.n, false)]);
    await fetchMain();
    if (asked.cursor !== null) await moveCursorToTime(asked.cursor, {keepInView: false});
    view.ready = true;
    keepRunAddress();
    setTimeout(followLog, FOLLOW_MS);
}

function buildRunLayout(asked) {
    const run = view.run;
    dom.facts = el("span", {class: "facts"});
    dom.state = el("span");
    dom.xSwitch = el("div", {class: "segmented", role: "group", "aria-label": "x axis"},
                     ["time", "distance"].map((x) => el("button", {
                         type: "button", "data-x": x, text: x === "time" ? "Time" : "Distance",
                         onclick: () => setXMode(x)})));
    dom.addChart = el("select", {class: "add-chart", "aria-label": "Add a chart",
                                 onchange: (e) => {
                                     if (e.target.value) addChart(e.target.value);
                                     e.target.value = "";
                                     e.target.blur();
                                 }});
    dom.compareRun = el("select", {"aria-label": "Compare with run",
                                   onchange: () => compareRunChosen()});
    dom.compareBraking = el("select", {"aria-label": "Compare with braking",
                                       onchange: () => compareBrakingChosen()});
    dom.compareClear = el("button", {type: "button", class: "icon", title: "No comparison",
                                     text: "×", onclick: () => clearCompare()});
    dom.save = {};
    for (const [key, text] of [["png", "PNG"], ["svg", "SVG"], ["pdf", "PDF"], ["csv", "CSV"]]) {
        const title = key === "csv" ? "The samples of this view as CSV"
                                    : `This view as plovo's ${text} report plot`;
        dom.save[key] = el("a", {class: "button", text, title, download: ""});
    }
    dom.banner = el("div", {class: "banner", hidden: true});
    dom.notice = el("div", {class: "notice", hidden: true});
    dom.readout = el("div", {id: "readout", class: "readout", "aria-live": "polite"},
                     el("span", {class: "hint",
                                 text: "Point at a panel to read every chart at that sample."}));
    dom.legend = el("div", {class: "legend"});
    dom.panels = el("div", {class: "panels", id: "panels"});
    dom.brakings = el("tbody");
    dom.brakingsNote = el("p", {class: "note"});

    const app = document.getElementById("app");
    app.classList.add("run-app");
    app.replaceChildren(
        topBar([el("a", {href: "/", text: "Runs"}), el("span", {class: "sep", text: "›"}),
                el("span", {class: "run-name", title: String(run.log)},
                   `run ${run.id}: ${baseName(run.log)}`), dom.state],
               dom.facts),
        el("div", {class: "toolbar"},
           el("div", {class: "group"}, el("label", {text: "x"}), dom.xSwitch),
           el("div", {class: "group"}, el("label", {text: "Charts"}), dom.addChart),
           el("div", {class: "group"}, el("label", {text: "Compare"}), dom.compareRun,
              dom.compareBraking, dom.compareClear),
           el("div", {class: "group", id: "save"}, el("label", {text: "Save"}),
              Object.values(dom.save)),
           el("div", {class: "spacer"})),
        el("p", {class: "help"},
           "Wheel: zoom about the pointer · drag: pan · Shift+drag: zoom to the stretch · " +
           "double-click: whole run · ← →: one sample (Shift: ten) · Home/End: first/last " +
           "sample · n/p: next/previous braking"),
        dom.banner,
        dom.notice,
        el("div", {class: "workspace"},
           el("div", {class: "plots"}, dom.readout, dom.legend, dom.panels),
           el("aside", {class: "sidebar"},
              el("div", {class: "sidebar-head"}, el("h3", {text: "Brakings"}),
                 el("a", {href: `/api/runs/${run.id}/brakings.csv`, class: "button small",
                          download: baseName(run.log).replace(/\.[^.]*$/, "") + "-brakings.csv",
                          title: "This run's brakings as CSV", text: "CSV"})),
              dom.brakingsNote,
              el("div", {class: "brakings-wrap"},
                 el("table", {class: "brakings", id: "brakings"},
                    el("thead", {}, el("tr", {},
                       el("th", {class: "num", text: "#"}),
                       el("th", {class: "num", text: "start [s]"}),
                       el("th", {class: "num", text: "v₀ [m/s]"}),
                       el("th", {class: "num", text: "dist. [m]"}),
                       el("th", {class: "num", text: "to stop [s]"}))),
                    dom.brakings)))));
    if (asked.unknown.length) {
        notice(`No chart type named ${asked.unknown.join(", ")}; the names are ` +
               CHART_NAMES.join(", ") + ".");
    }
    renderRunHeader();
    renderChartMenu();
    renderCompareMenus();
    updateXSwitch();
    // The panels share what height the page leaves them, which changes with the window, the
    // readout's lines and the legend: they follow their box's size, once a frame at most.
    let resizeFrame = 0;
    new ResizeObserver(() => {
        if (resizeFrame) return;
        resizeFrame = requestAnimationFrame(() => {
            resizeFrame = 0;
            resizePanels();
        });
    }).observe(dom.panels);
    document.addEventListener("keydown", onKey);
}

// A line above the panels for what went wrong or could not be done; gone after a while.
let noticeTimer = 0;
function notice(text) {
    dom.notice.textContent = text;
    dom.notice.hidden = !text;
    clearTimeout(noticeTimer);
    if (text) noticeTimer = setTimeout(() => { dom.notice.hidden = true; }, 8000);
}

function renderRunHeader() {
    const run = view.run;
    const badge = stateBadge(run);
    if ((run.state || "live") === "live" && view.ready && atEnd()) {
        badge.textContent = "live, following";
        badge.title = "The view shows the end of the log and moves on as it grows";
    }
    dom.state.replaceChildren(badge);
    const facts = [];
    if (run.pending) facts.push("summarising…");
    if (typeof run.samples === "number") facts.push(`${run.samples} samples`);
    if (typeof run.start_s === "number" && typeof run.end_s === "number") {
        facts.push(`${shortNumber(run.start_s)}–${shortNumber(run.end_s)} s`);
    }
    if (typeof run.distance_m === "number") facts.push(`${shortNumber(run.distance_m)} m`);
    if (typeof run.brakings === "number") {
        facts.push(`${run.brakings} braking${run.brakings === 1 ? "" : "s"}`);
    }
    dom.facts.textContent = facts.join(" · ");
    const sentence = stateSentence(run);
    dom.banner.textContent = sentence;
    dom.banner.hidden = !sentence;
}

function renderChartMenu() {
    dom.addChart.replaceChildren(
        el("option", {value: "", text: "Add a chart…"}),
        ...CHART_NAMES.filter((c) => !view.charts.includes(c))
            .map((c) => el("option", {value: c, text: CHART_LABELS[c]})));
}

function updateXSwitch() {
    for (const b of dom.xSwitch.querySelectorAll("button")) {
        b.classList.toggle("on", b.dataset.x === view.x);
        b.setAttribute("aria-pressed", b.dataset.x === view.x ? "true" : "false");
    }
}

function plovoView() {
    return {
        page: "run",
        run: view.id,
        charts: view.charts.slice(),
        x: view.x,
        at: view.at,
        to: view.to,
        xmin: view.xmin,
        xmax: view.xmax,
        whole: view.whole,
        cursor: view.cursor ? view.cursor.text : null,
        cursorSample: view.cursor ? view.cursor.sample : null,
        compare: view.compare ? `${view.compare.id}:${view.compare.n}` : null,
        brakings: view.brakings.length,
        ready: view.ready,
        busy: requestsInFlight > 0 || settleTimer !== 0 || readoutTimer !== 0 ||
              addressTimer !== 0 || stepping,
        link: runLink(),
    };
}

// ---------------------------------------------------------------------------------------------
// Run page: the run's extent, fetching, and turning answers into points

// The run's range on the x axis, from its summary (the distance channel starts at 0).
function noteExtent(run) {
    if (view.x === "time" && typeof run.start_s === "number" && typeof run.end_s === "number") {
        view.extent = {lo: run.start_s, hi: run.end_s};
    } else if (view.x === "distance" && typeof run.distance_m === "number") {
        view.extent = {lo: 0, hi: run.distance_m};
    }
}

// A series answer as points to draw: every sample, or each column's minimum and maximum as two
// points (at its first and last sample's x) so that a spike one sample wide still shows. `t`
// holds each point's time, for turning distances back into times.
function pointsFrom(answer, charts) {
    const ys = {};
    for (const c of charts) ys[c] = [];
    if (answer.form === "samples") {
        const xs = view.x === "distance" ? answer.distance : answer.time;
        for (const c of charts) ys[c] = answer.values[c] || xs.map(() => null);
        return {form: "samples", xs, t: answer.time, samples: answer.sample, ys};
    }
    const xs = [], t = [];
    const n = answer.count.length;
    const times = view.x === "distance" ? answer.min.time && [answer.min.time, answer.max.time]
                                        : [answer.x0, answer.x1];
    for (let i = 0; i < n; i++) {
        if (!answer.count[i]) continue;
        xs.push(answer.x0[i], answer.x1[i]);
        t.push(times ? times[0][i] : null, times ? times[1][i] : null);
        for (const c of charts) {
            const lo = answer.min[c] ? answer.min[c][i] : null;
            const hi = answer.max[c] ? answer.max[c][i] : null;
            // Whichever extreme lies nearer the line so far comes first: a falling stretch
            // then draws as one falling line, not as a saw of rising strokes.
            const y = ys[c];
            const last = y.length ? y[y.length - 1] : null;
            if (last !== null && lo !== null && hi !== null &&
                Math.abs(hi - last) < Math.abs(lo - last)) {
                y.push(hi, lo);
            } else {
                y.push(lo, hi);
            }
        }
    }
    return {form: "columns", xs, t, samples: null, ys};
}

// The first index whose value is at least v (arrays ascending).
function lowerBound(a, v) {
    let lo = 0, hi = a.length;
    while (lo < hi) {
        const mid = (lo + hi) >> 1;
        if (a[mid] < v) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

// Maps between two ascending arrays of the same points (distance and time), linearly between
// points; on a flat stretch of `from` (a stop on the distance axis) the first point for a
// view's left edge, the last for its right edge.
function mapAlong(from, to, v, edge, strict) {
    const n = from.length;
    if (!n || to[0] === null) return null;
    if (strict && (v < from[0] || v > from[n - 1])) return null;
    if (v <= from[0]) return to[0];
    if (v >= from[n - 1]) return to[n - 1];
    let i = lowerBound(from, v);
    if (from[i] === v) {
        if (edge === "hi") {
            while (i + 1 < n && from[i + 1] === v) i++;
        }
        return to[i];
    }
    const f = (v - from[i - 1]) / (from[i] - from[i - 1]);
    return to[i - 1] + f * (to[i] - to[i - 1]);
}

// The time at a place on the x axis. On the distance axis, past the points held (a pan faster
// than they came), the run's own ends continue the line: distance 0 at its start, its distance
// at its end.
function xToTime(x, edge) {
    if (view.x === "time") return x;
    const d = view.data;
    if (!d || !d.xs.length || d.t[0] === null) return null;
    const n = d.xs.length, run = view.run;
    const beyond = (x0, t0, x1, t1) => (x1 > x0 ? t0 + (x - x0) / (x1 - x0) * (t1 - t0) : t0);
    if (x < d.xs[0] && typeof run.start_s === "number" && d.xs[0] > 0) {
        return beyond(0, run.start_s, d.xs[0], d.t[0]);
    }
    if (x > d.xs[n - 1] && typeof run.end_s === "number" &&
        typeof run.distance_m === "number" && run.distance_m > d.xs[n - 1]) {
        return beyond(d.xs[n - 1], d.t[n - 1], run.distance_m, run.end_s);
    }
    return mapAlong(d.xs, d.t, x, edge);
}

// A time on the x axis; null on the distance axis for a time outside the points held, when
// `strict` (a braking's band must not be drawn at the edge of what is held).
function timeToX(t, strict) {
    if (view.x === "time") return t;
    const d = view.data;
    if (!d || !d.xs.length) return null;
    return mapAlong(d.t, d.xs, t, "lo", strict);
}

// The plot's width in CSS pixels: the number of columns worth asking for across the view.
function plotWidth() {
    const p = view.panels[0];
    if (p && p.uplot.bbox.width) {
        return Math.max(50, Math.round(p.uplot.bbox.width / devicePixelRatio));
    }
    return Math.max(300, dom.panels.clientWidth - Y_AXIS_WIDTH - 20);
}

// The times to ask for: the view and half a view on each side, so that a pan shows data at
// once; the whole run when the view is.
function fetchTimes() {
    if (view.whole || view.at === null || view.to === null) return {at: null, to: null, factor: 1};
    const span = Math.max(view.to - view.at, 1e-6);
    let at = view.at - span / 2, to = view.to + span / 2;
    const run = view.run;
    if (typeof run.start_s === "number") at = Math.max(at, run.start_s);
    if (typeof run.end_s === "number" && !(run.state === "live" && view.to >= run.end_s)) {
        to = Math.min(to, run.end_s);
    }
    return {at, to, factor: Math.max(1, (to - at) / span)};
}

let mainAbort = null;
let mainSeq = 0;

// Asks for the run's points over the view (and its margins) and draws them; the old points stay
// drawn, scaled to the view, until the answer comes.
async function fetchMain() {
    const seq = ++mainSeq;
    if (mainAbort) mainAbort.abort();
    mainAbort = new AbortController();
    const {at, to, factor} = fetchTimes();
    const charts = view.x === "distance" && !view.charts.includes("time")
                   ? [...view.charts, "time"] : view.charts;
    let answer;
    try {
        answer = await api.series(view.id, {
            charts: charts.join(","),
            at: at === null ? null : String(at),
            to: to === null ? null : String(to),
            width: Math.ceil(plotWidth() * factor),
            x: view.x,
        }, mainAbort.signal);
    } catch (e) {
        if (e.name !== "AbortError" && seq === mainSeq) notice(e.message);
        return;
    }
    if (seq !== mainSeq) return;
    const data = pointsFrom(answer, view.charts);
    data.at = at;
    data.to = to;
    view.data = data;
    if (data.xs.length) {
        const first = data.xs[0], last = data.xs[data.xs.length - 1];
        if (at === null && to === null) {
            view.extent = {lo: first, hi: last};
            view.xmin = first;
            view.xmax = last > first ? last : first + 1;
            view.at = data.t[0];
            view.to = data.t[data.t.length - 1];
        } else if (view.pendingTimes) {
            view.xmin = timeToX(view.pendingTimes[0]);
            view.xmax = timeToX(view.pendingTimes[1]);
        }
    }
    view.pendingTimes = null;
    if (view.compare) await fetchCompare();
    drawAll(true);
    if (view.cursor && view.x === "distance" && view.cursor.values) {
        view.cursor.x = Number(view.cursor.values.distance);
    }
    placeCursorLines();
    renderBrakingsList();
}

// Whether the points held still serve the view: they cover it, at no coarser than a column a
// pixel nor finer than a third of one (a zoom out by three asks again).
function dataServesView() {
    const d = view.data;
    if (!d || !d.xs.length) return false;
    const lo = d.xs[0], hi = d.xs[d.xs.length - 1];
    const coversLeft = view.xmin >= lo || (view.extent && lo <= view.extent.lo);
    const coversRight = view.xmax <= hi || (view.extent && hi >= view.extent.hi);
    if (!coversLeft || !coversRight) return false;
    if (d.form === "samples") return true;
    const inView = lowerBound(d.xs, view.xmax) - lowerBound(d.xs, view.xmin);
    const columns = inView / 2;
    const w = plotWidth();
    return columns >= w * 0.8 && columns <= w * 3;
}

let settleTimer = 0;

// A zoom or a pan changed the x range: draw now, fetch once it has settled.
function viewChanged() {
    view.whole = false;
    clampView();
    scheduleDraw();
    clearTimeout(settleTimer);
    settleTimer = setTimeout(settle, SETTLE_MS);
}

async function settle() {
    settleTimer = 0;
    view.at = xToTime(view.xmin, "lo");
    view.to = xToTime(view.xmax, "hi");
    if (view.extent && view.xmin <= view.extent.lo && view.xmax >= view.extent.hi) {
        view.whole = true;
    }
    keepRunAddress();
    const anchorMoved = view.compare && compareAnchorChanged();
    if (!dataServesView() || anchorMoved) await fetchMain();
    else renderBrakingsList();
}

function clampView() {
    let span = view.xmax - view.xmin;
    const ext = view.extent;
    const minSpan = ext ? Math.max((ext.hi - ext.lo) * 1e-7, 1e-6) : 1e-6;
    if (span < minSpan) {
        const mid = (view.xmin + view.xmax) / 2;
        view.xmin = mid - minSpan / 2;
        view.xmax = mid + minSpan / 2;
        span = minSpan;
    }
    if (!ext) return;
    if (span >= ext.hi - ext.lo) {
        view.xmin = ext.lo;
        view.xmax = ext.hi > ext.lo ? ext.hi : ext.lo + 1;
        return;
    }
    if (view.xmin < ext.lo) {
        view.xmin = ext.lo;
        view.xmax = ext.lo + span;
    }
    if (view.xmax > ext.hi) {
        view.xmax = ext.hi;
        view.xmin = ext.hi - span;
    }
}

function showWholeRun() {
    view.whole = true;
    view.at = view.to = null;
    if (view.extent) {
        view.xmin = view.extent.lo;
        view.xmax = view.extent.hi;
        scheduleDraw();
    }
    keepRunAddress();
    fetchMain();
}

// Shows the stretch of times [at, to]: in distance mode the x range comes with the points.
function showTimes(at, to) {
    view.whole = false;
    view.at = at;
    view.to = to;
    if (view.x === "time") {
        view.xmin = at;
        view.xmax = to;
        clampView();
        scheduleDraw();
        view.at = view.xmin;
        view.to = view.xmax;
    } else {
        view.pendingTimes = [at, to];
    }
    keepRunAddress();
    return fetchMain();
}

function setXMode(x) {
    if (x === view.x) return;
    const times = view.whole ? null : [view.at, view.to];
    view.x = x;
    view.data = null;
    view.extent = null;
    noteExtent(view.run);
    updateXSwitch();
    rebuildPanels();
    if (view.compare) view.compare.anchor = null;
    if (times) showTimes(times[0], times[1]);
    else showWholeRun();
}

// Whether the view shows the log's end: it then follows the end as the log grows.
function atEnd() {
    return view.whole || Boolean(view.extent && view.xmax >= view.extent.hi);
}

// A followed log: its state, and its end while the view shows the end. A hidden tab asks
// nothing until it is shown again.
async function followLog() {
    if (document.hidden) {
        setTimeout(followLog, FOLLOW_MS);
        return;
    }
    try {
        const runs = await api.runs();
        view.runs = runs;
        const run = runs.find((r) => r.id === view.id);
        if (run) {
            const before = view.run;
            const grew = run.end_s !== before.end_s || run.samples !== before.samples;
            const follow = atEnd();
            view.run = run;
            renderRunHeader();
            if (grew && !run.pending) {
                const oldExtent = view.extent;
                noteExtent(run);
                if (follow && !view.whole && oldExtent && view.extent) {
                    const span = view.xmax - view.xmin;
                    view.xmax = view.extent.hi;
                    view.xmin = view.xmax - span;
                    view.at = xToTime(view.xmin, "lo");
                    view.to = run.end_s;
                    keepRunAddress();
                }
                if (follow) await fetchMain();
                loadBrakingsList();
            }
            renderCompareMenus();
        }
    } catch (e) { /* the server went away: say nothing new until it answers */ }
    setTimeout(followLog, FOLLOW_MS);
}

// ---------------------------------------------------------------------------------------------
// Panels

function buildPanels() {
    dom.panels.replaceChildren();
    view.panels = view.charts.map((chart, k) => makePanel(chart, k === view.charts.length - 1));
    resizePanels();
}

function rebuildPanels() {
    for (const p of view.panels) p.uplot.destroy();
    buildPanels();
    drawAll(true);
    placeCursorLines();
}

const PANEL_HEAD = 26;   // px, a panel's title row
const PANEL_MIN = 120;   // px a panel at least, head included: more panels scroll

function resizePanels() {
    const n = view.panels.length;
    if (!n) return;
    const room = dom.panels.clientHeight - X_AXIS_HEIGHT;
    const each = Math.max(PANEL_MIN, Math.floor(room / n));
    const width = Math.max(300, dom.panels.clientWidth);
    const widthChanged = view.panels[0].uplot.width !== width;
    view.panels.forEach((p, k) => {
        const height = each - PANEL_HEAD + (k === n - 1 ? X_AXIS_HEIGHT : 0);
        if (p.uplot.width !== width || p.uplot.height !== height) {
            p.uplot.setSize({width, height});
        }
    });
    placeCursorLines();
    // A wider plot wants more columns: ask again once the window has its size.
    if (widthChanged && view.ready && !dataServesView()) {
        clearTimeout(settleTimer);
        settleTimer = setTimeout(settle, SETTLE_MS);
    }
}

// The offset the x axis reads from: the compared braking's application while comparing, so
// that the axis tells time or distance since it.
function xOrigin() {
    return view.compare && view.compare.anchor ? view.compare.anchor.x : 0;
}

function xAxisLabel() {
    const since = view.compare && view.compare.anchor ? " since brake application" : "";
    return view.x === "time" ? `Time${since} [s]` : `Distance${since} [m]`;
}

function makePanel(chart, bottom) {
    const head = el("div", {class: "panel-head"},
                    el("span", {class: "panel-title", text: CHART_LABELS[chart]}),
                    el("span", {class: "spacer"}),
                    el("button", {type: "button", class: "icon", title: "Remove this chart",
                                  text: "×", onclick: () => removeChart(chart)}));
    const box = el("div", {class: "panel-plot"});
    const wrap = el("div", {class: "panel", "data-chart": chart}, head, box);
    dom.panels.append(wrap);

    const xAxis = {
        ...axisStyle(),
        show: true,
        size: bottom ? X_AXIS_HEIGHT : 6,
        label: bottom ? xAxisLabel() : null,
        labelSize: 16,
        // Ticks on round values since the origin, so that a comparison's axis reads 0, 5, 10 s.
        splits: (u, axisIdx, min, max, incr) => {
            const origin = xOrigin(), out = [];
            for (let v = Math.ceil((min - origin) / incr) * incr; v + origin <= max + incr * 1e-9;
                 v += incr) {
                out.push(v + origin);
            }
            return out;
        },
        values: bottom ? (u, splits) => splits.map((v) => tickText(v - xOrigin()))
                       : (u, splits) => splits.map(() => ""),
    };
    const opts = {
        width: 600, height: 200,
        legend: {show: false},
        cursor: {show: false, drag: {x: false, y: false, setScale: false}, points: {show: false}},
        select: {show: false},
        scales: {
            x: {time: false, auto: false, range: () => [view.xmin, view.xmax]},
            y: {auto: true},
        },
        axes: [xAxis, {...axisStyle(), size: Y_AXIS_WIDTH,
                       values: (u, splits) => splits.map(tickText)}],
        series: [
            {},
            {label: "run", stroke: MAIN_COLOUR, width: 1.25,
             points: {size: 4, fill: MAIN_COLOUR}},
            {label: "compared", stroke: COMPARE_COLOUR, width: 1.25,
             points: {size: 4, fill: COMPARE_COLOUR}},
        ],
        hooks: {
            drawClear: [(u) => drawBrakingBands(u)],
            draw: [(u) => drawAnchor(u)],
        },
    };
    const uplot = new uPlot(opts, [[], [], []], box);
    const cursorLine = el("div", {class: "cursor-line", hidden: true});
    const selection = el("div", {class: "selection", hidden: true});
    uplot.over.append(cursorLine, selection);
    const panel = {chart, uplot, box, cursorLine, selection, bottom};
    attachPointer(panel);
    return panel;
}

// The run's points and the compared braking's, on one ascending x array (duplicates kept: a
// column's two points, or samples at one distance while standing), each series undefined where
// the other has a point: uPlot draws across undefined and breaks its line only at null.
function panelData(chart) {
    const d = view.data;
    if (!d) return [[], [], []];
    const ax = d.xs, ay = d.ys[chart] || [];
    const c = view.compare && view.compare.data;
    if (!c) return [ax, ay, ax.map(() => undefined)];
    const bx = c.xs, by = c.ys[chart] || [];
    const n = ax.length + bx.length;
    const xs = new Array(n), y1 = new Array(n), y2 = new Array(n);
    for (let i = 0, j = 0, k = 0; k < n; k++) {
        if (j >= bx.length || (i < ax.length && ax[i] <= bx[j])) {
            xs[k] = ax[i];
            y1[k] = ay[i++];
            y2[k] = undefined;
        } else {
            xs[k] = bx[j];
            y1[k] = undefined;
            y2[k] = by[j++];
        }
    }
    return [xs, y1, y2];
}

let drawFrame = 0;

// Redraws on the next frame, at most once a frame however many wheel events come.
function scheduleDraw() {
    if (drawFrame) return;
    drawFrame = requestAnimationFrame(() => {
        drawFrame = 0;
        drawAll(false);
    });
}

function drawAll(newData) {
    for (const p of view.panels) {
        if (newData) {
            p.uplot.axes[0].label = p.bottom ? xAxisLabel() : null;
            p.uplot.setData(panelData(p.chart), false);
        }
        if (Number.isFinite(view.xmin) && Number.isFinite(view.xmax) && view.xmax > view.xmin) {
            p.uplot.setScale("x", {min: view.xmin, max: view.xmax});
        }
    }
    placeCursorLines();
}

// The brakings' stretches, shaded behind the lines: where each begins and stops.
function drawBrakingBands(u) {
    if (!view.brakings.length) return;
    const ctx = u.ctx;
    const {left, top, width, height} = u.bbox;
    ctx.save();
    ctx.beginPath();
    ctx.rect(left, top, width, height);
    ctx.clip();
    for (const row of view.brakings) {
        const [start, end] = brakingStretch(row);
        const x0 = timeToX(start, true), x1 = timeToX(end, true);
        if (x0 === null || x1 === null || x1 < view.xmin || x0 > view.xmax) continue;
        const p0 = u.valToPos(x0, "x", true), p1 = u.valToPos(x1, "x", true);
        ctx.fillStyle = "rgba(200, 40, 60, 0.06)";
        ctx.fillRect(p0, top, Math.max(1, p1 - p0), height);
        ctx.fillStyle = "rgba(200, 40, 60, 0.45)";
        ctx.fillRect(Math.round(p0), top, Math.max(1, devicePixelRatio), height);
    }
    ctx.restore();
}

// The compared braking's application, where both runs are aligned.
function drawAnchor(u) {
    const a = view.compare && view.compare.anchor;
    if (!a || !view.compare.data || a.x < view.xmin || a.x > view.xmax) return;
    const ctx = u.ctx;
    const p = Math.round(u.valToPos(a.x, "x", true));
    ctx.save();
    ctx.strokeStyle = COMPARE_COLOUR;
    ctx.lineWidth = devicePixelRatio;
    ctx.setLineDash([4 * devicePixelRatio, 3 * devicePixelRatio]);
    ctx.beginPath();
    ctx.moveTo(p, u.bbox.top);
    ctx.lineTo(p, u.bbox.top + u.bbox.height);
    ctx.stroke();
    ctx.restore();
}

function addChart(chart) {
    if (!CHART_LABELS[chart] || view.charts.includes(chart)) return;
    view.charts.push(chart);
    afterChartsChanged();
}

function removeChart(chart) {
    if (view.charts.length === 1) {
        notice("A run shows at least one chart: add another before removing this one.");
        return;
    }
    view.charts = view.charts.filter((c) => c !== chart);
    afterChartsChanged();
}

function afterChartsChanged() {
    notice("");
    renderChartMenu();
    rebuildPanels();
    keepRunAddress();
    fetchMain().then(() => { if (view.cursor) moveCursorToTime(view.cursor.t, {}); });
}

// Wheel, drag, Shift+drag and double-click on a panel, and the cursor following the pointer.
function attachPointer(panel) {
    const u = panel.uplot, over = u.over;
    const xAt = (clientX) => u.posToVal(clientX - over.getBoundingClientRect().left, "x");

    over.addEventListener("wheel", (e) => {
        e.preventDefault();
        if (!Number.isFinite(view.xmin)) return;
        const pixels = e.deltaMode === 1 ? 40 : e.deltaMode === 2 ? 800 : 1;  // px a line, a page
        // A sideways swipe (a touchpad's) pans; the wheel zooms about the pointer, by a factor
        // of 1.16 a notch of 100 px.
        if (Math.abs(e.deltaX) > Math.abs(e.deltaY)) {
            const shift = e.deltaX * pixels / u.bbox.width * devicePixelRatio *
                          (view.xmax - view.xmin);
            view.xmin += shift;
            view.xmax += shift;
        } else {
            const factor = Math.exp(Math.max(-600, Math.min(600, e.deltaY * pixels)) * 0.0015);
            const x = xAt(e.clientX);
            view.xmin = x - (x - view.xmin) * factor;
            view.xmax = x + (view.xmax - x) * factor;
        }
        viewChanged();
    }, {passive: false});

    over.addEventListener("mousedown", (e) => {
        if (e.button !== 0 || !Number.isFinite(view.xmin)) return;
        // preventDefault keeps the focus where it was: a menu would go on taking the keys.
        e.preventDefault();
        if (document.activeElement && document.activeElement !== document.body) {
            document.activeElement.blur();
        }
        const startX = e.clientX;
        const start = {xmin: view.xmin, xmax: view.xmax};
        const selecting = e.shiftKey;
        const rect = over.getBoundingClientRect();
        let moved = false;
        const move = (m) => {
            if (Math.abs(m.clientX - startX) > 2) moved = true;
            if (!moved) return;
            if (selecting) {
                const a = Math.max(0, Math.min(rect.width, startX - rect.left));
                const b = Math.max(0, Math.min(rect.width, m.clientX - rect.left));
                for (const p of view.panels) {
                    p.selection.hidden = false;
                    p.selection.style.left = Math.min(a, b) + "px";
                    p.selection.style.width = Math.abs(b - a) + "px";
                }
            } else {
                const dx = (m.clientX - startX) / rect.width * (start.xmax - start.xmin);
                view.xmin = start.xmin - dx;
                view.xmax = start.xmax - dx;
                viewChanged();
            }
        };
        const up = (m) => {
            window.removeEventListener("mousemove", move);
            window.removeEventListener("mouseup", up);
            over.classList.remove("panning");
            for (const p of view.panels) p.selection.hidden = true;
            if (selecting && moved) {
                const a = xAt(startX), b = xAt(m.clientX);
                if (Math.abs(b - a) > 0) {
                    view.xmin = Math.min(a, b);
                    view.xmax = Math.max(a, b);
                    viewChanged();
                }
            } else if (!moved) {
                cursorToPointer(xAt(m.clientX));
            }
        };
        if (!selecting) over.classList.add("panning");
        window.addEventListener("mousemove", move);
        window.addEventListener("mouseup", up);
    });

    over.addEventListener("mousemove", (e) => {
        if (e.buttons) return;
        cursorToPointer(xAt(e.clientX));
    });
    over.addEventListener("dblclick", (e) => {
        e.preventDefault();
        showWholeRun();
    });
}

// ---------------------------------------------------------------------------------------------
// Cursor and readout

let readoutTimer = 0;
let readoutSeq = 0;

// The cursor on the sample nearest the pointer when the panels hold every sample, or else on the
// first sample at the pointer's time or later; the line moves at once, the readout after one
// request (a burst of moves makes one).
function cursorToPointer(x) {
    const d = view.data;
    if (!d || !Number.isFinite(x)) return;
    let t = xToTime(x, "lo");
    let px = x;
    if (d.form === "samples" && d.xs.length) {
        let i = lowerBound(d.xs, x);
        if (i >= d.xs.length || (i > 0 && x - d.xs[i - 1] < d.xs[i] - x)) i--;
        t = d.t[i];
        px = d.xs[i];
    }
    if (t === null) return;
    showCursorLine(px);
    clearTimeout(readoutTimer);
    readoutTimer = setTimeout(() => {
        readoutTimer = 0;
        moveCursorToTime(t, {keepInView: false});
    }, READOUT_MS);
}

function showCursorLine(x) {
    view.cursorX = x;
    placeCursorLines();
}

function placeCursorLines() {
    const x = view.cursorX;
    for (const p of view.panels) {
        const shown = Number.isFinite(x) && x >= view.xmin && x <= view.xmax;
        p.cursorLine.hidden = !shown;
        if (shown) p.cursorLine.style.left = Math.round(p.uplot.valToPos(x, "x")) + "px";
    }
}

// Puts the cursor on the first sample at time t or later and shows its values: the exact ones,
// as the server writes them.
async function moveCursorToTime(t, {keepInView}) {
    const seq = ++readoutSeq;
    let answer;
    try {
        answer = await api.sample(view.id, t);
    } catch (e) {
        if (seq !== readoutSeq) return;
        if (e.status === 404) {
            view.cursor = null;
            dom.readout.replaceChildren(el("span", {class: "hint",
                                                    text: `No sample at ${t} s or later.`}));
            return;
        }
        notice(e.message);
        return;
    }
    if (seq !== readoutSeq) return;
    const values = answer.values || {};
    view.cursor = {
        t: Number(answer.time),
        text: answer.time,
        sample: Number(answer.sample),
        values,
        x: view.x === "distance" ? Number(values.distance) : Number(answer.time),
    };
    if (keepInView) keepCursorInView();
    showCursorLine(view.cursor.x);
    const compareLine = view.compare ? await compareReadout(seq) : null;
    if (seq !== readoutSeq) return;
    renderReadout(answer, compareLine);
    markBrakingAtCursor();
    keepRunAddress();
}

// "sample N at T s", then each shown chart's label and value: the window's title's words.
function readoutText(answer, charts) {
    const parts = [`sample ${answer.sample} at ${answer.time} s`];
    for (const c of charts) {
        const v = answer.values ? answer.values[c] : undefined;
        parts.push(`${CHART_LABELS[c]}: ${v === null || v === undefined ? "nan" : v}`);
    }
    return parts;
}

function renderReadout(answer, compareLine) {
    const line = (parts, colour, extra) => el("div", {class: "readout-line"},
        el("i", {class: "swatch", style: `background:${colour}`}),
        extra,
        parts.map((text, k) => [k ? el("span", {class: "sep", text: " · "}) : null,
                                el("span", {class: k ? "value" : "where", text})]));
    const lines = [line(readoutText(answer, view.charts), MAIN_COLOUR, null)];
    if (compareLine) lines.push(compareLine);
    dom.readout.replaceChildren(...lines);
}

// Moves the view, keeping its span, so that the cursor is inside it.
function keepCursorInView() {
    const x = view.cursor.x, span = view.xmax - view.xmin;
    if (!(span > 0) || (x >= view.xmin && x <= view.xmax)) return;
    if (x < view.xmin) {
        view.xmin = x - span * 0.1;
        view.xmax = view.xmin + span;
    } else {
        view.xmax = x + span * 0.1;
        view.xmin = view.xmax - span;
    }
    viewChanged();
}

// The time of the sample `steps` samples from the cursor's (negative: before it). From the
// points held when they are every sample; otherwise from the samples around the cursor, asked
// for over a span that is narrowed until they come as samples and widened until there are
// enough; past the run's first or last sample, that sample.
async function sampleTimeFrom(t, steps) {
    const d = view.data;
    if (d && d.form === "samples" && d.t.length) {
        const i = lowerBound(d.t, t);
        const j = i + steps;
        if (d.t[i] === t && j >= 0 && j < d.t.length) return d.t[j];
    }
    const run = view.run;
    let period = typeof run.samples === "number" && run.samples > 1
                 ? (run.end_s - run.start_s) / (run.samples - 1) : 0.1;
    if (!(period > 0)) period = 0.1;
    for (let tries = 0; tries < 16; tries++) {
        const span = period * (Math.abs(steps) + 2) * 4;
        const params = steps > 0 ? {at: String(t), to: String(t + span)}
                                 : {at: String(t - span), to: String(t)};
        // Up to 512 samples come as such: room for an uneven log's four times too many.
        const answer = await api.series(view.id, {charts: "time", width: 256, ...params});
        if (answer.form !== "samples") {
            period /= 4;
            continue;
        }
        const times = answer.time;
        if (!times.length) return t;
        const i = steps > 0 ? 0 : times.length - 1;
        const j = i + steps;
        if (j >= 0 && j < times.length) return times[j];
        const atEdge = steps > 0 ? t + span >= run.end_s : t - span <= run.start_s;
        if (atEdge || tries === 15) return steps > 0 ? times[times.length - 1] : times[0];
        period *= 2;
    }
    return t;
}

// Key repeats come faster than the answers: the steps asked for meanwhile are added up and
// taken in one move.
let queuedSteps = 0;
let stepping = false;
async function queueSteps(steps) {
    queuedSteps += steps;
    if (stepping) return;
    stepping = true;
    try {
        while (queuedSteps) {
            const now = queuedSteps;
            queuedSteps = 0;
            await stepCursor(now);
        }
    } finally {
        stepping = false;
    }
}

async function stepCursor(steps) {
    if (!view.cursor) {
        await moveCursorToTime(view.at !== null ? view.at : 0, {keepInView: true});
        return;
    }
    const t = await sampleTimeFrom(view.cursor.t, steps);
    await moveCursorToTime(t, {keepInView: true});
}

async function cursorToEnd(last) {
    const run = view.run;
    let t = last ? run.end_s : run.start_s;
    if (typeof t !== "number") {
        const answer = await api.series(view.id, {charts: "time", width: 1});
        const times = answer.form === "samples" ? answer.time : [answer.x0[0], answer.x1[0]];
        t = last ? times[times.length - 1] : times[0];
    }
    await moveCursorToTime(t, {keepInView: true});
}

// ---------------------------------------------------------------------------------------------
// Brakings list

async function loadBrakingsList() {
    try {
        view.brakings = await api.brakings(view.id);
    } catch (e) {
        dom.brakingsNote.textContent = e.message;
        return;
    }
    renderBrakingsList();
    drawAll(false);
    for (const p of view.panels) p.uplot.redraw(false, false);
}

function renderBrakingsList() {
    const rows = view.brakings;
    dom.brakingsNote.textContent = rows.length
        ? "Click one to zoom to it; n and p step through them."
        : view.run.pending ? "Waiting for the summary…" : "This run has no braking.";
    dom.brakings.replaceChildren(...rows.map((row) => {
        const [start, end] = brakingStretch(row);
        const x0 = timeToX(start, true), x1 = timeToX(end, true);
        const inView = x0 !== null && x1 !== null && x1 >= view.xmin && x0 <= view.xmax;
        return el("tr", {
            class: "braking" + (inView ? " in-view" : ""),
            "data-braking": String(row.braking),
            title: `braking ${row.braking}: ${row.start_s} s to ${row.end_s} s, ` +
                   (isStopped(row) ? `stopped at ${row.stop_s} s` : "did not stop"),
            onclick: () => goToBraking(row),
        },
        el("td", {class: "num", text: String(row.braking)}),
        el("td", {class: "num", text: fixed(row.start_s, 1)}),
        el("td", {class: "num", text: fixed(row.start_speed_mps, 2)}),
        el("td", {class: "num", text: fixed(row.braking_distance_m, 1)}),
        el("td", {class: "num", text: isStopped(row) ? fixed(row.time_to_stop_s, 1) : "–"}));
    }));
    markBrakingAtCursor();
}

function markBrakingAtCursor() {
    const t = view.cursor ? view.cursor.t : null;
    for (const tr of dom.brakings.children) {
        const row = view.brakings.find((b) => String(b.braking) === tr.dataset.braking);
        const [start, end] = row ? brakingStretch(row) : [NaN, NaN];
        tr.classList.toggle("at-cursor", t !== null && t >= start && t <= end);
    }
}

// Zooms to a braking with a margin and puts the cursor on its application.
async function goToBraking(row) {
    const [at, to] = brakingView(row);
    view.cursor = null;
    const shown = showTimes(at, to);
    await moveCursorToTime(row.start_s, {keepInView: false});
    await shown;
    const tr = dom.brakings.querySelector(`tr[data-braking="${row.braking}"]`);
    if (tr) tr.scrollIntoView({block: "nearest"});
}

function brakingAfter(t, direction) {
    const rows = view.brakings;
    if (direction > 0) return rows.find((b) => b.start_s > t) || null;
    for (let k = rows.length - 1; k >= 0; k--) if (rows[k].start_s < t) return rows[k];
    return null;
}

async function nextBraking(direction) {
    const from = view.cursor ? view.cursor.t
                             : direction > 0 ? (view.at ?? -Infinity) : (view.to ?? Infinity);
    const row = brakingAfter(from, direction);
    if (!row) {
        notice(direction > 0 ? "No braking after the cursor." : "No braking before the cursor.");
        return;
    }
    notice("");
    await goToBraking(row);
}

// ---------------------------------------------------------------------------------------------
// Compare: another run's braking (or this run's), drawn over each panel in a second colour and
// aligned at the brake application: the compared braking's application on this run's first in
// the view, or on the view's start when none is in it.

function renderCompareMenus() {
    const chosen = view.compare ? String(view.compare.id) : "";
    const options = [el("option", {value: "", text: "another run…"})];
    for (const r of view.runs) {
        if (r.readable === false) continue;
        options.push(el("option", {value: String(r.id), text: `${r.id}: ${baseName(r.log)}`,
                                   selected: String(r.id) === chosen}));
    }
    if (dom.compareRun.options.length !== options.length || dom.compareRun.value !== chosen) {
        dom.compareRun.replaceChildren(...options);
        dom.compareRun.value = chosen;
    }
    dom.compareBraking.hidden = !view.compare && !dom.compareRun.value;
    dom.compareClear.hidden = !view.compare;
}

const brakingsOf = new Map();  // run id -> its brakings

async function brakingsOfRun(id) {
    if (id === view.id && view.brakings.length) return view.brakings;
    if (!brakingsOf.has(id)) brakingsOf.set(id, await api.brakings(id));
    return brakingsOf.get(id);
}

async function compareRunChosen() {
    const id = Number(dom.compareRun.value);
    if (!id) {
        clearCompare();
        return;
    }
    let rows;
    try {
        rows = await brakingsOfRun(id);
    } catch (e) {
        notice(e.message);
        return;
    }
    dom.compareBraking.replaceChildren(
        el("option", {value: "", text: rows.length ? "braking…" : "no braking"}),
        ...rows.map((b) => el("option", {value: String(b.braking),
            text: `braking ${b.braking}: ${fixed(b.start_s, 1)} s, ` +
                  `${fixed(b.start_speed_mps, 1)} m/s`})));
    dom.compareBraking.hidden = false;
    if (rows.length === 1) {
        dom.compareBraking.value = "1";
        compareBrakingChosen();
    }
}

function compareBrakingChosen() {
    dom.compareBraking.blur();  // the keys go back to the panels
    const id = Number(dom.compareRun.value), n = Number(dom.compareBraking.value);
    if (id && n) setCompare(id, n, true);
}

async function setCompare(id, n, redraw) {
    const run = view.runs.find((r) => r.id === id);
    let rows;
    try {
        if (!run) throw new Error(`there is no run ${id}`);
        rows = await brakingsOfRun(id);
    } catch (e) {
        notice(`Cannot compare with run ${id}: ${e.message}`);
        return;
    }
    const row = rows.find((b) => b.braking === n);
    if (!row) {
        notice(`Cannot compare: run ${id} has no braking ${n}.`);
        return;
    }
    view.compare = {id, n, row, run, data: null, anchor: null};
    if (dom.compareRun.value !== String(id)) {
        dom.compareRun.value = String(id);
        await compareRunChosen();
    }
    dom.compareBraking.value = String(n);
    renderCompareMenus();
    renderLegend();
    keepRunAddress();
    if (redraw) {
        await fetchMain();
        if (view.cursor) await moveCursorToTime(view.cursor.t, {keepInView: false});
    }
}

function clearCompare() {
    view.compare = null;
    dom.compareRun.value = "";
    dom.compareBraking.replaceChildren();
    renderCompareMenus();
    renderLegend();
    keepRunAddress();
    drawAll(true);
    for (const p of view.panels) p.uplot.redraw(false, true);
    if (view.cursor) moveCursorToTime(view.cursor.t, {keepInView: false});
}

// This run's time the comparison is aligned on, for the settled view.
function anchorTime() {
    const inView = view.brakings.find((b) => b.start_s >= view.at && b.start_s <= view.to);
    return inView ? {t: inView.start_s, braking: inView.braking} : {t: view.at, braking: null};
}

function compareAnchorChanged() {
    const a = view.compare.anchor;
    return !a || a.t !== anchorTime().t;
}

// The compared braking's points over the view (and its margins), shifted so that its
// application falls on the anchor. On the distance axis both runs' distances at the two
// applications come from the samples there; since the compared run may go faster or slower, it
// is asked for over twice the view's time on each side of its application.
async function fetchCompare() {
    const cmp = view.compare;
    const {t: anchorT, braking} = anchorTime();
    if (anchorT === null || anchorT === undefined) return;
    const B = cmp.row.start_s;
    const anchor = {t: anchorT, braking, x: anchorT};
    let originB = B;
    try {
        if (view.x === "distance") {
            const [here, there] = await Promise.all([api.sample(view.id, anchorT),
                                                     api.sample(cmp.id, B)]);
            anchor.x = Number(here.values.distance);
            originB = Number(there.values.distance);
        }
        const {at, to, factor} = fetchTimes();
        const spread = view.x === "distance" ? 2 : 1;
        const lo = at === null ? null : B + (at - anchorT) * spread;
        const hi = to === null ? null : B + (to - anchorT) * spread;
        const charts = view.x === "distance" && !view.charts.includes("time")
                       ? [...view.charts, "time"] : view.charts;
        const answer = await api.series(cmp.id, {
            charts: charts.join(","), at: lo === null ? null : String(lo),
            to: hi === null ? null : String(hi), x: view.x,
            width: Math.ceil(plotWidth() * factor * spread),
        });
        if (view.compare !== cmp) return;
        const data = pointsFrom(answer, view.charts);
        const shift = anchor.x - originB;
        data.xs = data.xs.map((x) => x + shift);
        data.shift = shift;
        cmp.data = data;
        cmp.anchor = anchor;
        cmp.originT = B;
    } catch (e) {
        notice(`Cannot draw the comparison: ${e.message}`);
        return;
    }
    renderLegend();
}

function renderLegend() {
    const cmp = view.compare;
    if (!cmp) {
        dom.legend.replaceChildren();
        dom.legend.hidden = true;
        return;
    }
    dom.legend.hidden = false;
    const a = cmp.anchor;
    const where = !a ? "" : a.braking !== null
        ? `, its application on this run's braking ${a.braking} at ${a.t} s`
        : `, its application on the view's start (${shortNumber(a.t)} s)`;
    dom.legend.replaceChildren(
        el("span", {class: "key"}, el("i", {style: `background:${MAIN_COLOUR}`}),
           `run ${view.id}: ${baseName(view.run.log)}`),
        el("span", {class: "key"}, el("i", {style: `background:${COMPARE_COLOUR}`}),
           `run ${cmp.id}: ${baseName(cmp.run.log)}, braking ${cmp.n} at ${cmp.row.start_s} s` +
           where));
}

// The readout's second line: the compared run's sample at the cursor's place since the
// application.
async function compareReadout(seq) {
    const cmp = view.compare;
    if (!cmp || !cmp.anchor || !cmp.data || !view.cursor) return null;
    let t2;
    if (view.x === "time") {
        t2 = cmp.originT + (view.cursor.t - cmp.anchor.t);
    } else {
        const d = cmp.data;
        t2 = mapAlong(d.xs, d.t, view.cursor.x, "lo");
    }
    const since = view.x === "time"
        ? `${shortNumber(view.cursor.t - cmp.anchor.t)} s since application`
        : `${shortNumber(view.cursor.x - cmp.anchor.x)} m since application`;
    const head = el("span", {class: "compare-head", text: `run ${cmp.id} braking ${cmp.n}, ` +
                                                          `${since}: `});
    let answer;
    try {
        if (t2 === null || t2 === undefined) throw new ApiError(404, "");
        answer = await api.sample(cmp.id, t2);
    } catch (e) {
        if (seq !== readoutSeq) return null;
        return el("div", {class: "readout-line compare"},
                  el("i", {class: "swatch", style: `background:${COMPARE_COLOUR}`}), head,
                  el("span", {class: "where", text: "no sample there"}));
    }
    const parts = readoutText(answer, view.charts);
    return el("div", {class: "readout-line compare"},
              el("i", {class: "swatch", style: `background:${COMPARE_COLOUR}`}), head,
              parts.map((text, k) => [k ? el("span", {class: "sep", text: " · "}) : null,
                                      el("span", {class: k ? "value" : "where", text})]));
}

// ---------------------------------------------------------------------------------------------
// Save: plovo's own report plot of the view, and its samples as CSV; links without the token,
// the cookie goes with them.

function updateSaveLinks() {
    if (!dom.save) return;
    const at = view.whole ? null : view.at, to = view.whole ? null : view.to;
    const span = at !== null && to !== null ? to - at : 0;
    const common = {
        charts: view.charts.join(","),
        at: at === null ? null : roundedTime(at, span),
        to: to === null ? null : roundedTime(to, span),
    };
    const stem = baseName(view.run.log).replace(/\.[^.]*$/, "") +
                 (at === null ? "" : `-${common.at}-${common.to}`);
    for (const format of ["png", "svg", "pdf"]) {
        dom.save[format].href = withQuery(`/api/runs/${view.id}/plot.${format}`, {
            ...common, x: view.x,
            compare: view.compare ? `${view.compare.id}:${view.compare.n}` : null,
        });
        dom.save[format].download = `${stem}.${format}`;
    }
    dom.save.csv.href = withQuery(`/api/runs/${view.id}/export.csv`, common);
    dom.save.csv.download = `${stem}.csv`;
}

// ---------------------------------------------------------------------------------------------
// Keys

function onKey(e) {
    if (e.target.closest && e.target.closest("input, select, textarea")) return;
    if (e.ctrlKey || e.metaKey || e.altKey) return;
    const steps = e.shiftKey ? 10 : 1;
    switch (e.key) {
        case "ArrowRight": queueSteps(steps); break;
        case "ArrowLeft": queueSteps(-steps); break;
        case "Home": cursorToEnd(false); break;
        case "End": cursorToEnd(true); break;
        case "n": nextBraking(1); break;
        case "p": nextBraking(-1); break;
        default: return;
    }
    e.preventDefault();
}

// ---------------------------------------------------------------------------------------------
// Start

const runMatch = /^\/run\/(\d+)\/?$/.exec(location.pathname);
if (runMatch) runPage(Number(runMatch[1]));
else if (location.pathname === "/") runsPage();
else showFatal(`No page at ${location.pathname}.`);
})();
