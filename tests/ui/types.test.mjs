// The page's scripts are plain JavaScript with JSDoc types; the type checker
// reads them as the page loads them, one set of globals, in strict mode.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import path from 'node:path';
import { ROOT } from './harness.mjs';

test('the page scripts type-check clean', () => {
  const tsc = path.join(ROOT, 'node_modules', 'typescript', 'bin', 'tsc');
  const run = spawnSync(process.execPath, [tsc, '--noEmit', '-p', path.join(ROOT, 'tsconfig.json')],
    { cwd: ROOT, encoding: 'utf8' });
  assert.equal(run.status, 0, run.stdout + run.stderr);
});
