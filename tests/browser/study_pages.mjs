// The study's pages in a real browser: runs chew_study --pages over the three examples, ten
// simulated recordings (one of them three times as long as the others: its chewing durations
// are the outlier) and a broken file, then opens index.html in headless Chromium (driven by
// playwright-core) from file:// and checks that every recording has its row in input order,
// every link leads to a file in the folder, the broken file shows its message, the outlier is
// marked, nothing is requested from outside the folder and nothing is logged as an error; at
// 1400 px its leading columns stay in view wherever the figures are scrolled. Then opens a check
// page at 1000 and 2000 px: nothing overflows across, every trial panel and legend entry is on
// screen, the EMG plots are at least 120 px high with at most five labels on an axis. On both
// pages every legend colour is an Okabe-Ito colour, no two are close for a reader with
// deuteranopia or protanopia, no two keys of a legend differ by colour alone, and every
// abbreviation is explained. The study is joined from two parts by merge --pages, whose
// overview's links all lead to files in the parts. Last, an overview of 1000 recordings: its
// size in bytes and in elements.
//
//   node study_pages.mjs --study PATH --simulate PATH --examples DIR --work DIR [--shots DIR]
//
// Fails (exit status 1) when Chromium or playwright-core is missing: it never skips.
import { execFileSync, spawnSync } from 'node:child_process';
import { copyFileSync, existsSync, linkSync, mkdirSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

import { colourProblems, kChromium, legendKeys, start } from './harness.mjs';

// No two legend colours closer than this (CIE76) for a reader with deuteranopia or protanopia;
// the closest pair of the Okabe-Ito palette, orange and yellow, is 17.0 apart with deuteranopia.
const kLeastColourDistance = 15;

// Elements the overview may take per recording: its row's cells and marks and its points in the
// strip plots. The open time is printed, never judged: timings on a shared machine are noise.
const kElementsPerRecording = 120;

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
async function open(file, width, folder = out) {
  const page = await browser.newPage({ viewport: { width, height: 1000 } });
  const watch = { errors: [], outside: [] };
  page.on('console', (m) => { if (m.type() === 'error') watch.errors.push(m.text()); });
  page.on('pageerror', (e) => watch.errors.push(e.message));
  page.on('request', (r) => {
    const url = r.url();
    if (!url.startsWith('file:') || !fileURLToPath(url).startsWith(folder)) watch.outside.push(url);
  });
  const started = Date.now();
  await page.goto(pathToFileURL(file).href, { waitUntil: 'load' });
  // Two frames: the page has been laid out and painted.
  await page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));
  watch.ms = Date.now() - started;
  return { page, watch };
}

// Runs in the page: the words in capitals (MVC, FK1), "C." and the channel keys that the page
// uses outside its paragraph of abbreviations but does not explain in it.
function unexplained() {
  const terms = document.querySelector('.terms')?.innerText ?? '';
  const used = document.body.innerText.replace(terms, '').match(/\b[A-Z]{2,}\d?\b|\bC\.|\b(mr|ml|tr|tl)\b/g) ?? [];
  return [...new Set(used)].filter((word) => !terms.includes(word));
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
    problems.push(...colourProblems(await page.evaluate(legendKeys), kLeastColourDistance, 'index.html'));
    const words = await page.evaluate(unexplained);
    if (words.length) problems.push(`index.html does not explain ${words.join(', ')}`);
    // At 1400 px the leading columns stay in view wherever the figures are scrolled, and each
    // group of figures can be scrolled into view beside them; the page itself does not overflow.
    const fits = await page.evaluate(() => {
      const scroll = document.querySelector('.scroll');
      const shown = (e) => {
        const b = e.getBoundingClientRect();
        return b.left >= 0 && b.right <= innerWidth && e.contains(document.elementFromPoint(b.left + b.width / 2, b.top + b.height / 2));
      };
      const lead = () => [...document.querySelectorAll('th.lead, .recordings tbody tr:first-child td:nth-child(-n+5)')];
      const hidden = [];
      for (const group of document.querySelectorAll('th[colspan]')) {
        group.scrollIntoView({ block: 'nearest', inline: 'nearest' });
        if (!shown(group)) hidden.push(group.textContent);
        hidden.push(...lead().filter((e) => !shown(e)).map((e) => `${e.textContent} beside ${group.textContent}`));
      }
      return { hidden, leading: lead().length, overflow: document.documentElement.scrollWidth - innerWidth, scrolled: scroll.scrollLeft };
    });
    if (fits.leading !== 10 || fits.hidden.length || fits.overflow > 0 || fits.scrolled === 0)
      problems.push(`index.html at 1400 px: ${JSON.stringify(fits)}`);
    report(watch, 'index.html');
    await page.evaluate(() => { document.querySelector('.scroll').scrollLeft = 0; });
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
    problems.push(...colourProblems(await page.evaluate(legendKeys), kLeastColourDistance, 'the check page'));
    const words = await page.evaluate(unexplained);
    if (words.length) problems.push(`the check page does not explain ${words.join(', ')}`);
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

  // The same study in two parts joined by merge --pages: every link of its overview leads from
  // the merged folder into a part, to a file that is there.
  {
    const half = 7;
    for (const [part, names] of [['1', inputs.slice(0, half)], ['2', inputs.slice(half)]])
      spawnSync(args.study, ['--pages', '--quiet', '--out', join('parts', part), ...names], { cwd: work });
    const merged = spawnSync(args.study, ['merge', 'parts/1', 'parts/2', '--out', 'merged', '--pages'], { cwd: work });
    if (merged.status !== 0) problems.push(`merge --pages exited with ${merged.status}: ${merged.stderr}`);
    const { page, watch } = await open(join(work, 'merged', 'index.html'), 1400, work);
    const links = await page.$$eval('a[href]', (as) => as.map((a) => a.getAttribute('href')));
    if (links.length !== 2 * (inputs.length - 1)) problems.push(`the merged overview has ${links.length} links`);
    for (const href of links) {
      const target = join(work, 'merged', decodeURIComponent(href));
      if (!target.startsWith(join(work, 'parts')) || !existsSync(target)) problems.push(`the merged link ${href} leads nowhere`);
    }
    report(watch, 'the merged index.html');
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
    const { page, watch } = await open(index, 1400);
    const rows = await page.$$eval('table.recordings tbody tr', (trs) => trs.length);
    if (rows !== 1000) problems.push(`the overview of 1000 recordings has ${rows} rows`);
    const elements = await page.evaluate(() => document.getElementsByTagName('*').length);
    if (elements > 1000 * kElementsPerRecording)
      problems.push(`the overview of 1000 recordings has ${elements} elements`);
    await page.close();
    console.log(`study_pages: the overview of 1000 recordings: ${bytes} bytes, ${elements} elements, opened in ${watch.ms} ms`);
    rmSync(big, { recursive: true, force: true });
  }
} finally {
  await browser.close();
}
if (problems.length) fail(problems.join('\n  '));
console.log('study_pages: ok');
