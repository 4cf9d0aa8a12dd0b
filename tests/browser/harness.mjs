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
