// The check page in a real browser: simulates a recording, runs chew_study --pages on it, opens
// the page in headless Chromium (driven by playwright-core) from file:// and checks that every
// chewing trial's panel draws its charts, that it shades as many confirmed cycles as the
// report's "C." column says and one loop per stroke of strokes.csv, that each frontal plane and
// each maximal opening's plane has as many pixels per mm across as down (read off its tick labels) with the subject's right on the left, and that the page logs no
// error. Writes a screenshot.
//
//   node check_page.mjs --study PATH --simulate PATH --work DIR [--screenshot FILE]
//
// Fails (exit status 1) when Chromium or playwright-core is missing: it never skips.
import { execFileSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';

import { kChromium, start } from './harness.mjs';

const { args, chromium, work, fail } = await start('check_page', ['study', 'simulate', 'work']);
const started = Date.now();
execFileSync(args.simulate, ['--seed', '7', '--form', 'five-point', '--rate', '500', '--scale', '0.5',
  '--out', 'rec.txt'], { cwd: work });
execFileSync(args.study, ['--pages', '--quiet', '--out', 'out', 'rec.txt'], { cwd: work });

// The "C." column of the report's experiment table: "  13 |  8 |  6812  8212 | ...".
const expected = {};
for (const line of readFileSync(join(work, 'out', 'rec_output.txt'), 'latin1').split('\n')) {
  const m = /^ *(\d+) \| *(\d+) \|/.exec(line);
  if (m && Object.keys(expected).length < 18) expected[Number(m[1])] = Number(m[2]);
}
if (Object.keys(expected).length !== 18) fail('the report has no experiment table of 18 rows');
// The strokes of each experiment in strokes.csv (the experiment is its second column).
const strokes = {};
for (const line of readFileSync(join(work, 'out', 'strokes.csv'), 'latin1').split('\n').slice(1)) {
  const experiment = Number(line.split(',')[1]);
  if (experiment) strokes[experiment] = (strokes[experiment] || 0) + 1;
}

const browser = await chromium.launch({
  executablePath: kChromium,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
const problems = [];
try {
  const page = await browser.newPage({ viewport: { width: 1200, height: 900 } });
  const errors = [];
  const requests = [];
  page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
  page.on('pageerror', (e) => errors.push(e.message));
  page.on('request', (r) => { if (!r.url().startsWith('file:')) requests.push(r.url()); });
  await page.goto(pathToFileURL(join(work, 'out', 'rec_check.html')).href, { waitUntil: 'load' });

  const trials = await page.$$eval('section.panel.trial', (sections) => sections.map((s) => ({
    experiment: Number(s.dataset.experiment),
    svgs: [...s.querySelectorAll('svg.chart')].map((svg) => {
      const box = svg.getBoundingClientRect();
      return { width: box.width, height: box.height, paths: svg.querySelectorAll('path.signal').length };
    }),
    // Confirmed cycles that are actually drawn: a rendered box of some width.
    confirmed: [...s.querySelectorAll('rect.cycle.confirmed')]
      .filter((r) => r.getBoundingClientRect().width > 0 && getComputedStyle(r).fill !== 'none').length,
    rejectedColour: [...s.querySelectorAll('rect.cycle.rejected')].map((r) => getComputedStyle(r).fill)[0],
    confirmedColour: [...s.querySelectorAll('rect.cycle.confirmed')].map((r) => getComputedStyle(r).fill)[0],
    // The frontal plane: one drawn loop per stroke, in its side's colour.
    loops: [...s.querySelectorAll('svg.frontal path.loop')]
      .filter((p) => p.getBoundingClientRect().width > 0 && getComputedStyle(p).stroke !== 'none').length,
  })));
  // The frontal planes: labelled ticks in mm, as many pixels per mm across as down, the
  // subject's right on the left.
  const planes = await page.$$eval('svg.frontal', (svgs) => svgs.map((svg) => {
    const ticks = (axis, at) => [...svg.querySelectorAll(`.ticks.${axis} text`)].map((t) => {
      const b = t.getBoundingClientRect();
      return { mm: Number(t.textContent), px: at === 'x' ? b.left + b.width / 2 : b.top + b.height / 2 };
    });
    const side = (words) => [...svg.querySelectorAll('text')].find((t) => t.textContent.startsWith(words)).getBoundingClientRect().left;
    return { x: ticks('x', 'x'), y: ticks('y', 'y'), rightOnLeft: side("subject's right") < side("subject's left") };
  }));
  const scale = (ticks) => {
    const zero = ticks.findIndex((t) => t.mm === 0);
    const next = ticks[zero + 1];
    return Math.abs(next.px - ticks[zero].px) / next.mm;
  };
  if (planes.length !== 6) problems.push(`${planes.length} frontal planes, not 6`);
  for (const plane of planes) {
    if (!plane.rightOnLeft) problems.push("a frontal plane has the subject's right on the right");
    const [across, down] = [scale(plane.x), scale(plane.y)];
    if (!(Math.abs(across - down) <= 0.01 * down))
      problems.push(`a frontal plane has ${across.toFixed(2)} px per mm across and ${down.toFixed(2)} down`);
  }
  const numbers = trials.map((t) => t.experiment).join(',');
  if (numbers !== '13,14,15,16,17,18') problems.push(`trial panels ${numbers}, not 13 to 18`);
  for (const t of trials) {
    // The distance and the two masseters: a five-point recording has no temporalis channels.
    if (t.svgs.length !== 3) problems.push(`experiment ${t.experiment}: ${t.svgs.length} charts, not 3`);
    for (const svg of t.svgs) {
      if (!(svg.width > 0 && svg.height > 0) || svg.paths !== 1)
        problems.push(`experiment ${t.experiment}: a chart is not drawn (${JSON.stringify(svg)})`);
    }
    if (t.confirmed !== expected[t.experiment])
      problems.push(`experiment ${t.experiment}: ${t.confirmed} confirmed cycles drawn, report C. ${expected[t.experiment]}`);
    if (t.loops !== strokes[t.experiment])
      problems.push(`experiment ${t.experiment}: ${t.loops} loops drawn in the frontal plane, ${strokes[t.experiment]} strokes`);
    if (t.rejectedColour && t.rejectedColour === t.confirmedColour)
      problems.push(`experiment ${t.experiment}: confirmed and rejected cycles look alike`);
  }
  const total = trials.reduce((n, t) => n + t.confirmed, 0);
  if (total === 0) problems.push('no confirmed cycle at all in a simulated recording');
  // The other experiments are folded away.
  const folded = await page.$$eval('details:not(.strokes)', (d) => d.filter((x) => !x.open).length);
  if (folded !== 12) problems.push(`${folded} folded experiments, not 12`);
  const tables = await page.$$eval('details.strokes', (d) => d.filter((x) => !x.open).length);
  if (tables !== 6) problems.push(`${tables} folded cycle tables, not one per chewing trial`);
  if (errors.length) problems.push(`console errors: ${errors.join(' | ')}`);
  if (requests.length) problems.push(`requests outside the file: ${requests.join(' ')}`);

  if (args.screenshot) {
    // The first chewing trial: its distance chart and the four EMG channels.
    await page.locator('section.panel.trial').first().screenshot({ path: args.screenshot });
  }
  // The maximal openings' planes, their panels unfolded: as many pixels per mm across as down.
  await page.$$eval('details', (ds) => ds.forEach((d) => { d.open = true; }));
  const movements = await page.$$eval('svg.plane', (svgs) => svgs.map((svg) => {
    const ticks = (axis) => [...svg.querySelectorAll(`.ticks.${axis} text`)].map((t) => {
      const b = t.getBoundingClientRect();
      return { mm: Number(t.textContent), px: axis === 'x' ? b.left + b.width / 2 : b.top + b.height / 2 };
    });
    return { x: ticks('x'), y: ticks('y') };
  }));
  const step = (t) => t.length < 2 ? NaN : Math.abs(t[1].px - t[0].px) / Math.abs(t[1].mm - t[0].mm);
  if (movements.length !== 4) problems.push(`${movements.length} movement planes, not 4 (experiments 3 and 4)`);
  for (const m of movements) {
    const [across, down] = [step(m.x), step(m.y)];
    if (!(Math.abs(across - down) <= 0.01 * down))
      problems.push(`a movement plane has ${across.toFixed(2)} px per mm across and ${down.toFixed(2)} down`);
  }
  console.log(`check_page: ${trials.length} trial panels, ${total} confirmed cycles ` +
    `(report C.: ${[13, 14, 15, 16, 17, 18].map((e) => expected[e]).join(' ')}), ` +
    `${Date.now() - started} ms`);
} finally {
  await browser.close();
}
if (problems.length) fail(problems.join('\n  '));
console.log('check_page: ok');
