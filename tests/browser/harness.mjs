// What both browser tests start with: their arguments (--name value pairs, the `needed` ones
// required), Debian's Chromium driven by playwright-core, and an emptied work folder. A missing
// browser or package fails the test (exit status 1): it never skips.
import { existsSync, mkdirSync, rmSync } from 'node:fs';
import { resolve } from 'node:path';

export const kChromium = '/usr/bin/chromium';

export async function start(test, needed) {
  const fail = (message) => {
    console.error(`${test}: FAIL: ${message}`);
    process.exit(1);
  };
  const args = {};
  for (let i = 2; i < process.argv.length; i += 2) args[process.argv[i].replace(/^--/, '')] = process.argv[i + 1];
  for (const name of needed) if (!args[name]) fail(`--${name} is missing`);
  if (!existsSync(kChromium)) fail(`${kChromium} not found (apt-get install chromium chromium-driver)`);
  let chromium;
  try {
    ({ chromium } = await import('playwright-core'));
  } catch (e) {
    fail(`playwright-core cannot be loaded (npm ci in tests/browser): ${e.message}`);
  }
  const work = resolve(args.work);
  rmSync(work, { recursive: true, force: true });
  mkdirSync(work, { recursive: true });
  return { args, chromium, work, fail };
}

// The Okabe-Ito palette, the only colours the pages draw in.
export const kOkabeIto = ['E69F00', '56B4E9', '009E73', 'F0E442', '0072B2', 'D55E00', 'CC79A7', '000000']
  .map((h) => [0, 2, 4].map((i) => parseInt(h.slice(i, i + 2), 16)));

// Machado, Oliveira and Fernandes (2009), severity 1, on linear RGB.
const kSimulations = {
  deuteranopia: [[0.367322, 0.860646, -0.227968], [0.280085, 0.672501, 0.047413], [-0.011820, 0.042940, 0.968881]],
  protanopia: [[0.152286, 1.052583, -0.204868], [0.114503, 0.786281, 0.099216], [-0.003882, -0.048116, 1.051998]],
};
const linear = (c) => (c /= 255) <= 0.04045 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4;
// CIELAB (D65) of a linear RGB colour.
function lab([r, g, b]) {
  const [x, y, z] = [[0.4124, 0.3576, 0.1805], [0.2126, 0.7152, 0.0722], [0.0193, 0.1192, 0.9505]]
    .map((m, i) => (m[0] * r + m[1] * g + m[2] * b) / [0.95047, 1, 1.08883][i]);
  const f = (t) => t > 0.008856 ? Math.cbrt(t) : 7.787 * t + 16 / 116;
  return [116 * f(y) - 16, 500 * (f(x) - f(y)), 200 * (f(y) - f(z))];
}
// The smallest CIE76 distance between two of the colours ([r, g, b] over white) as seen with
// each simulated deficiency: { distance, pair, deficiency }.
export function closestUnderColourBlindness(colours) {
  let worst = { distance: Infinity };
  for (const [deficiency, m] of Object.entries(kSimulations)) {
    const seen = colours.map((c) => lab(m.map((row) => Math.min(1, Math.max(0,
      row.reduce((s, k, i) => s + k * linear(c[i]), 0))))));
    for (let i = 0; i < seen.length; ++i) {
      for (let j = i + 1; j < seen.length; ++j) {
        const distance = Math.hypot(...seen[i].map((v, k) => v - seen[j][k]));
        if (distance < worst.distance) worst = { distance, pair: [colours[i], colours[j]], deficiency };
      }
    }
  }
  return worst;
}

// Runs in the page: each legend's keys with the colour each is drawn in ([r, g, b, alpha]) and
// what tells it apart besides colour (its shape, border style and text).
export function legendKeys() {
  const rgba = (text) => { const v = text.match(/[\d.]+/g).map(Number); return v.length === 3 ? [...v, 1] : v; };
  return [...document.querySelectorAll('.legend')].map((legend) => [...legend.querySelectorAll('.key')].map((key) => {
    const s = getComputedStyle(key);
    const opacity = Number(s.opacity);
    const candidates = [[s.backgroundColor, true], [s.borderTopColor, s.borderTopStyle !== 'none'],
      [s.borderLeftColor, s.borderLeftStyle !== 'none'], [s.color, key.textContent !== '']];
    const colour = rgba(candidates.find(([c, used]) => used && rgba(c)[3] > 0)[0]);
    colour[3] *= opacity;
    return { name: key.className, colour, cue: [s.width, s.height, s.borderTopStyle, s.borderLeftStyle,
      s.borderRadius, rgba(s.backgroundColor)[3] > 0, key.textContent].join('|') };
  }));
}

// Problems with the colours of a page's legends: a colour outside the palette, two colours
// closer than `least` (CIE76) for a colour-blind reader, two keys of a legend told apart by colour
// alone.
export function colourProblems(legends, least, what) {
  const problems = [];
  const colours = new Map();
  for (const keys of legends) {
    for (const { name, colour } of keys) {
      if (!kOkabeIto.some((p) => p.every((v, i) => v === colour[i]))) problems.push(`${what}: ${name} in ${colour}, no Okabe-Ito colour`);
      const over = colour.slice(0, 3).map((v) => Math.round(colour[3] * v + (1 - colour[3]) * 255));
      colours.set(over.join(','), over);
    }
    const cues = keys.map((k) => k.cue);
    keys.forEach((k, i) => { if (cues.indexOf(k.cue) !== i) problems.push(`${what}: ${k.name} looks like ${keys[cues.indexOf(k.cue)].name} but for its colour`); });
  }
  const worst = closestUnderColourBlindness([...colours.values()]);
  if (worst.distance < least)
    problems.push(`${what}: ${worst.pair.join(' and ')} are ${worst.distance.toFixed(1)} apart with ${worst.deficiency}`);
  return problems;
}
