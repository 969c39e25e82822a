// The real program on a private X server: its window must show the page
// (not a blank or an error). The captures are kept in tests/artifacts/ for
// people to look at.
import { test, before } from 'node:test';
import assert from 'node:assert/strict';
import { spawn, execFileSync } from 'node:child_process';
import { existsSync, mkdirSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { setTimeout as sleep } from 'node:timers/promises';
import { ROOT } from './harness.mjs';

// scripts/test names the program it built, which must then be there; a run
// of its own takes build/varnet when it has been built.
const BINARY = process.env.VARNET_BINARY || path.join(ROOT, 'build', 'varnet');
const REQUIRED = Boolean(process.env.VARNET_BINARY);
const ARTIFACTS = path.join(ROOT, 'tests', 'artifacts');
const TITLE = 'Varnet (Kestrine Edition)';
const MIN_SPREAD = 0.02; // a flat window gives 0; the page, light or dark, well above
const haveTools = ['Xvfb', 'import', 'convert', 'xwininfo'].every((tool) => {
  try { execFileSync('sh', ['-c', `command -v ${tool}`], { stdio: 'ignore' }); return true; } catch { return false; }
});
const missing = !existsSync(BINARY) ? `${BINARY} is not built` : (!haveTools ? 'Xvfb, ImageMagick or x11-utils missing' : false);
const skip = REQUIRED ? false : missing && `${missing} (set VARNET_BINARY to require it)`;
if (skip) console.log(`# screenshot tests skipped: ${skip}`);

// Each capture gets an X server and a runtime folder of its own, as a fresh
// desktop session would: a program started after another on the same display
// can find the first one's leftovers (its accessibility bus announced on the
// root window) and show a blank page.
let display;

// Xvfb picks a free display itself and writes its number to the given fd.
async function startXvfb() {
  const proc = spawn('Xvfb', ['-displayfd', '3', '-screen', '0', '1280x1024x24', '-nolisten', 'tcp', '-noreset'],
    { stdio: ['ignore', 'ignore', 'ignore', 'pipe'] });
  const number = await new Promise((resolve, reject) => {
    let text = '';
    proc.stdio[3].on('data', (chunk) => {
      text += chunk;
      if (text.includes('\n')) resolve(text.trim());
    });
    proc.on('exit', () => reject(new Error('Xvfb ended')));
  });
  return { proc, display: ':' + number };
}

function xwininfo(args) {
  try {
    return execFileSync('xwininfo', args, { env: { ...process.env, DISPLAY: display }, encoding: 'utf8' });
  } catch (err) {
    // A window that goes away while the tree is walked fails the walk;
    // what was printed before still counts.
    return String(err.stdout || '');
  }
}

// The program's window as it is mapped now. One toplevel can show up as
// several windows with the same title (GTK's own helpers, a window not yet
// mapped or not yet at its final size), so take the viewable ones and of
// those the largest, and read it afresh on every pass.
function windowGeometry() {
  const candidates = xwininfo(['-root', '-tree']).split('\n')
    .filter((line) => line.includes(`"${TITLE}"`))
    .map((line) => /^\s*(0x[0-9a-f]+)/.exec(line))
    .filter(Boolean)
    .map((m) => viewableGeometry(m[1]))
    .filter(Boolean);
  candidates.sort((a, b) => b.width * b.height - a.width * a.height);
  return candidates[0] || null;
}

function viewableGeometry(id) {
  const info = xwininfo(['-id', id]);
  if (!/Map State:\s+IsViewable/.test(info)) return null;
  const field = (name) => Number((new RegExp(`${name}:\\s+(-?\\d+)`).exec(info) || [])[1]);
  const g = { width: field('Width'), height: field('Height'), x: field('Absolute upper-left X'), y: field('Absolute upper-left Y') };
  return Object.values(g).every(Number.isFinite) ? g : null;
}

// Spread of the grey levels inside the window: a window still blank (or
// hidden by the page's start-up) is one flat colour.
function contentSpread(file, g) {
  const out = execFileSync('convert', [file, '-crop', `${g.width}x${g.height}+${g.x}+${g.y}`, '+repage',
    '-colorspace', 'Gray', '-format', '%[fx:standard_deviation]', 'info:'], { encoding: 'utf8' });
  return Number(out);
}

// SIGTERM first; a program that does not end within 5 s is killed.
async function stopProgram(program) {
  if (program.exitCode !== null || program.signalCode !== null) return;
  const ended = new Promise((resolve) => program.once('exit', resolve));
  program.kill('SIGTERM');
  const timer = setTimeout(() => program.kill('SIGKILL'), 5000);
  await ended;
  clearTimeout(timer);
}

async function captureWindow(name, theme) {
  const { proc: xvfb, display: ownDisplay } = await startXvfb();
  display = ownDisplay;
  try {
    return await captureOnDisplay(name, theme);
  } finally {
    xvfb.kill('SIGTERM');
  }
}

async function captureOnDisplay(name, theme) {
  const home = mkdtempSync(path.join(tmpdir(), 'varnet-shot-'));
  const runtimeDir = path.join(home, 'runtime');
  mkdirSync(runtimeDir, { mode: 0o700 });
  const env = {
    ...process.env,
    DISPLAY: display,
    NO_AT_BRIDGE: '1',
    GDK_BACKEND: 'x11',
    XDG_CONFIG_HOME: path.join(home, 'config'),
    XDG_DATA_HOME: path.join(home, 'data'),
    XDG_RUNTIME_DIR: runtimeDir,
  };
  if (theme) {
    mkdirSync(path.join(env.XDG_CONFIG_HOME, 'varnet'), { recursive: true });
    writeFileSync(path.join(env.XDG_CONFIG_HOME, 'varnet', 'theme.txt'), theme);
  }
  const program = spawn(BINARY, [], { env, stdio: 'ignore' });
  const file = path.join(ARTIFACTS, `${name}.png`);
  try {
    let geometry = null;
    let spread = 0;
    // Generous: the machine may be busy with other web views.
    const deadline = Date.now() + 45000;
    while (Date.now() < deadline && spread < MIN_SPREAD) {
      await sleep(200);
      const now = windowGeometry();
      if (!now) continue;
      geometry = now;
      execFileSync('import', ['-window', 'root', file], { env });
      spread = contentSpread(file, geometry);
    }
    assert.ok(geometry, 'the main window never appeared');
    assert.ok(spread >= MIN_SPREAD, `the window stayed blank (spread ${spread} in ${JSON.stringify(geometry)})`);
    // Let the first status poll and any late layout settle, then keep the
    // final capture and a copy cut to the window.
    await sleep(1000);
    execFileSync('import', ['-window', 'root', file], { env });
    execFileSync('convert', [file, '-crop', `${geometry.width}x${geometry.height}+${geometry.x}+${geometry.y}`,
      '+repage', path.join(ARTIFACTS, `${name}-window.png`)]);
    return geometry;
  } finally {
    await stopProgram(program);
    rmSync(home, { recursive: true, force: true });
  }
}

before(() => {
  if (!skip) mkdirSync(ARTIFACTS, { recursive: true });
});

// The colour of the page's background just inside the window's left edge,
// beside the panels: it tells which theme the page applied.
function backgroundAt(name, g) {
  const file = path.join(ARTIFACTS, `${name}.png`);
  return execFileSync('convert', [file, '-format', `%[hex:p{${g.x + 4},${g.y + 300}}]`, 'info:'], { encoding: 'utf8' })
    .trim().slice(0, 6).toLowerCase();
}

// Rendering may shift a channel by a step or two.
function assertColour(actual, expected) {
  const channels = (hex) => [0, 2, 4].map((i) => parseInt(hex.slice(i, i + 2), 16));
  const a = channels(actual);
  const e = channels(expected);
  assert.ok(a.every((v, i) => Math.abs(v - e[i]) <= 3), `background #${actual}, expected about #${expected}`);
}

test('the real window shows the page at 420 × 560', { skip, timeout: 120000 }, async () => {
  assert.equal(missing, false, 'what the capture needs is there');
  const g = await captureWindow('main-window');
  assert.equal(g.width, 420);
  assert.equal(g.height, 560);
  assertColour(backgroundAt('main-window', g), 'eef2f7');
});

test('the real window shows the page in the theme the program saved', { skip, timeout: 120000 }, async () => {
  // Only the program's answer to the page's getSharedTheme can bring the
  // dark background.
  const g = await captureWindow('main-window-midnight', 'midnight');
  assertColour(backgroundAt('main-window-midnight', g), '0d1220');
});
