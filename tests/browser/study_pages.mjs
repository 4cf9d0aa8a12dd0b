// The study's pages in a real browser: runs chew_study --pages over the three examples, ten
// simulated recordings (one of them three times as long as the others: its chewing durations
// are the outlier) and a broken file, then opens index.html in headless Chromium (driven by
// playwright-core) from file:// and checks that every recording has its row in input order,
// every link leads to a file in the folder, the broken file shows its message, the outlier is
// marked, nothing is requested from outside the folder and nothing is logged as an error. Then
// opens a check page at 1000 and 2000 px: nothing overflows across, every trial panel and
// legend entry is on screen, the EMG plots are at least 120 px high with at most five labels on
// an axis. Last, an overview of 1000 recordings: its size and the time it takes to open.
//
//   node study_pages.mjs --study PATH --simulate PATH --examples DIR --work DIR [--shots DIR]
//
// Fails (exit status 1) when Chromium or playwright-core is missing: it never skips.
import { execFileSync, spawnSync } from 'node:child_process';
import { copyFileSync, existsSync, linkSync, mkdirSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

import { kChromium, start } from './harness.mjs';

// Generous: on an idle machine the thousand-recording overview opens in well under a second.
const kOpenLimitMs = 2000;

const { args, chromium, work, fail } = await start('study_pages', ['study', 'simulate', 'examples', 'work']);
mkdirSync(join(work, 'examples'));
const examples = ['subject01', 'subject02', 'subject03'].map((n) => {
  copyFileSync(join(resolve(args.examples), `${n}.txt`), join(work, 'examples', `${n}.txt`));
  return `examples/${n}.txt`;
});
const simulated = [];
for (let i = 1; i <= 10; ++i) {
  const name = `sim${String(i).padStart(2, '0')}.txt`;
  const scale = i === 7 ? '3' : String(0.3 + 0.05 * i);
  execFileSync(args.simulate, ['--seed', String(100 + i), '--rate', '200', '--scale', scale, '--out', name], { cwd: work });
  simulated.push(name);
}
const outlier = 'sim07.txt';
writeFileSync(join(work, 'broken.txt'), 'Calibr 1 2\n');
const inputs = [...examples, ...simulated, 'broken.txt'];
// One recording fails, so the status is 1.
const run = spawnSync(args.study, ['--pages', '--quiet', '--jobs', '2', '--out', 'out', ...inputs], { cwd: work });
if (run.status !== 1) fail(`chew_study exited with ${run.status}: ${run.stderr}`);
const out = join(work, 'out');

const browser = await chromium.launch({
  executablePath: kChromium,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
const problems = [];

// A page with its console errors and the requests that leave the output folder.
async function open(file, width) {
  const page = await browser.newPage({ viewport: { width, height: 1000 } });
  const watch = { errors: [], outside: [] };
  page.on('console', (m) => { if (m.type() === 'error') watch.errors.push(m.text()); });
  page.on('pageerror', (e) => watch.errors.push(e.message));
  page.on('request', (r) => {
    const url = r.url();
    if (!url.startsWith('file:') || !fileURLToPath(url).startsWith(out)) watch.outside.push(url);
  });
  const started = Date.now();
  await page.goto(pathToFileURL(file).href, { waitUntil: 'load' });
  // Two frames: the page has been laid out and painted.
  await page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));
  watch.ms = Date.now() - started;
  return { page, watch };
}

function report(watch, what) {
  if (watch.errors.length) problems.push(`${what}: console errors: ${watch.errors.join(' | ')}`);
  if (watch.outside.length) problems.push(`${what}: requests outside the folder: ${watch.outside.join(' ')}`);
}

try {
  // The overview.
  {
    const { page, watch } = await open(join(out, 'index.html'), 1400);
    const rows = await page.$$eval('table.recordings tbody tr', (trs) => trs.map((tr) => ({
      name: tr.querySelector('td.name').textContent,
      status: tr.querySelector('td.status').textContent,
      message: tr.querySelector('td.message')?.textContent ?? '',
      marked: tr.querySelectorAll('td.out').length,
    })));
    const names = rows.map((r) => r.name.replace(/ \(report\)$/, ''));
    if (names.join('|') !== inputs.join('|')) problems.push(`overview rows ${names.join(', ')}, not the inputs in order`);
    const broken = rows[inputs.indexOf('broken.txt')];
    if (!broken || broken.status !== 'failed' || !broken.message.includes('Error reading calibration'))
      problems.push(`the broken file's row: ${JSON.stringify(broken)}`);
    const odd = rows[inputs.indexOf(outlier)];
    if (!odd || odd.marked === 0) problems.push(`the outlier ${outlier} is not marked: ${JSON.stringify(odd)}`);
    const points = await page.$$eval('circle.out title', (ts) => ts.map((t) => t.textContent));
    const number = inputs.indexOf(outlier) + 1;
    if (!points.some((t) => t.startsWith(`#${number} ${outlier}, `))) problems.push(`no marked point of ${outlier} in the strip plots`);
    const links = await page.$$eval('a[href]', (as) => as.map((a) => a.getAttribute('href')));
    if (links.length !== 2 * (inputs.length - 1)) problems.push(`${links.length} links, not a page and a report per evaluated recording`);
    for (const href of links) {
      const target = join(out, decodeURIComponent(href));
      if (!target.startsWith(out + '/') || !existsSync(target)) problems.push(`the link ${href} leads nowhere`);
    }
    report(watch, 'index.html');
    if (args.shots) await page.screenshot({ path: join(args.shots, 'overview.png'), clip: { x: 0, y: 0, width: 1400, height: 560 } });
    await page.close();
  }

  // A check page at both ends of the widths it is made for.
  for (const width of [1000, 2000]) {
    const { page, watch } = await open(join(out, 'examples', 'subject02_check.html'), width);
    const layout = await page.evaluate(() => {
      const inside = (e) => {
        const b = e.getBoundingClientRect();
        return b.width > 0 && b.height > 0 && b.left >= 0 && b.right <= document.documentElement.clientWidth;
      };
      const panels = [...document.querySelectorAll('section.panel.trial')];
      return {
        overflow: document.documentElement.scrollWidth - document.documentElement.clientWidth,
        panels: panels.length,
        hiddenPanels: panels.filter((p) => !inside(p)).length,
        entries: [...document.querySelectorAll('section.panel.trial .legend .entry')].length,
        hiddenEntries: [...document.querySelectorAll('section.panel.trial .legend .entry')]
          .filter((e) => !inside(e) || !inside(e.querySelector('.key'))).map((e) => e.textContent),
        // Rendered height of the EMG plot area: 140 of the chart's 186 units.
        emgPlot: Math.min(...[...document.querySelectorAll('svg.chart.emg')].map((s) => s.getBoundingClientRect().height * 140 / 186)),
        mostLabels: Math.max(...[...document.querySelectorAll('svg.chart.emg g.axis')].flatMap((g) => [
          g.querySelectorAll('text[text-anchor="end"]:not(.label)').length,
          g.querySelectorAll('text[text-anchor="middle"]').length])),
        text: document.body.innerText,
      };
    });
    if (layout.overflow > 0) problems.push(`${width} px: the check page overflows by ${layout.overflow} px`);
    if (layout.panels !== 6 || layout.hiddenPanels) problems.push(`${width} px: ${layout.hiddenPanels} of ${layout.panels} trial panels not on screen`);
    if (layout.entries < 6 * 10 || layout.hiddenEntries.length)
      problems.push(`${width} px: legend entries not on screen: ${layout.hiddenEntries.join(' | ')}`);
    if (layout.emgPlot < 120) problems.push(`${width} px: an EMG plot is ${layout.emgPlot.toFixed(0)} px high`);
    if (layout.mostLabels > 5) problems.push(`${width} px: an EMG axis has ${layout.mostLabels} labels`);
    for (const words of ['peaks of opening', 'closing minima', 'free chewing', 'µV'])
      if (!layout.text.includes(words)) problems.push(`${width} px: the page does not say "${words}"`);
    if (/\duV\b| uV\b/.test(layout.text)) problems.push(`${width} px: the page writes uV`);
    report(watch, `check page at ${width} px`);
    if (args.shots && width === 1000) {
      // The first chewing trial down to its first EMG chart.
      const box = await page.locator('section.panel.trial').first().boundingBox();
      const emg = await page.locator('section.panel.trial div.channel').first().boundingBox();
      await page.screenshot({ path: join(args.shots, 'check_page.png'), fullPage: true,
        clip: { x: 0, y: box.y - 8, width, height: emg.y + emg.height - box.y + 10 } });
    }
    await page.close();
  }

  // A thousand recordings: one small simulated recording under a thousand names.
  {
    const big = join(work, 'thousand');
    mkdirSync(big);
    execFileSync(args.simulate, ['--seed', '5', '--rate', '50', '--scale', '0.05', '--out', join(big, 'r0000.txt')]);
    for (let i = 1; i < 1000; ++i) linkSync(join(big, 'r0000.txt'), join(big, `r${String(i).padStart(4, '0')}.txt`));
    execFileSync(args.study, ['--pages', '--quiet', '--jobs', '2', '--out', join(big, 'out'), 'thousand'], { cwd: work });
    const index = join(big, 'out', 'index.html');
    const bytes = statSync(index).size;
    if (bytes >= 5e6) problems.push(`the overview of 1000 recordings has ${bytes} bytes`);
    let best = Infinity;
    for (let k = 0; k < 3; ++k) {
      const { page, watch } = await open(index, 1400);
      best = Math.min(best, watch.ms);
      const rows = await page.$$eval('table.recordings tbody tr', (trs) => trs.length);
      if (rows !== 1000) problems.push(`the overview of 1000 recordings has ${rows} rows`);
      await page.close();
    }
    if (best > kOpenLimitMs) problems.push(`the overview of 1000 recordings takes ${best} ms to open`);
    console.log(`study_pages: the overview of 1000 recordings: ${bytes} bytes, opened in ${best} ms (best of 3)`);
    rmSync(big, { recursive: true, force: true });
  }
} finally {
  await browser.close();
}
if (problems.length) fail(problems.join('\n  '));
console.log('study_pages: ok');
